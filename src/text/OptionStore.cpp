#include "text/OptionStore.h"

#include "core/InitOrder.h"

COptionStore g_optionStore VEL_SERVICE_INIT;

StatusWord COptionStore::GetOption(UINT, CStrBuf& out) {
    out.Clear();
    return 0;
}
