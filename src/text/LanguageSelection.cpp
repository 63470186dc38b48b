#include "text/LanguageSelection.h"

#include "text/OptionStore.h"
#include "text/TextTable.h"

namespace {

// The option that holds the language code.
constexpr UINT kOptionLanguage = 2;

}  // namespace

void SelectConfiguredLanguage() {
    CStrBuf code;
    g_optionStore.GetOption(kOptionLanguage, code);
    g_textTable.SelectLanguage(code.CStr());
}
