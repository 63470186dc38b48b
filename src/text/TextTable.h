// The localised texts, looked up by id in the language resource libraries
// beside the library. This first version knows no library yet: every lookup
// answers "no text".
#pragma once

#include <windows.h>

#include "text/StrBuf.h"

class CTextTable {
  public:
    CTextTable() = default;
    CTextTable(const CTextTable&) = delete;
    CTextTable& operator=(const CTextTable&) = delete;

    // Loads the language libraries beside the module; ST_E_NOTFOUND when there is none.
    StatusWord Load(HMODULE hLibModule);
    // Makes the library of the code current; 0 for a null code, ST_E_NOTFOUND when unknown.
    StatusWord SelectLanguage(const char* pszCode);
    // ST_OK with the text in out, or 0 when no library has it (out unchanged).
    StatusWord Lookup(UINT nTextId, CStrBuf& out) const;
};

extern CTextTable g_textTable;
