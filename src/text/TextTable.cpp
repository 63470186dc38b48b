#include "text/TextTable.h"

#include "core/InitOrder.h"

CTextTable g_textTable VEL_SERVICE_INIT;

StatusWord CTextTable::Load(HMODULE) { return ST_E_NOTFOUND; }

StatusWord CTextTable::SelectLanguage(const char* pszCode) {
    return pszCode == nullptr ? 0 : ST_E_NOTFOUND;
}

StatusWord CTextTable::Lookup(UINT, CStrBuf&) const { return 0; }
