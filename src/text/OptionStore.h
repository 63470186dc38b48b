// The suite's options, of which the library reads only option 2, the language
// code. This first version has no source of options: every option is absent.
#pragma once

#include <windows.h>

#include "text/StrBuf.h"

class COptionStore {
  public:
    COptionStore() = default;
    COptionStore(const COptionStore&) = delete;
    COptionStore& operator=(const COptionStore&) = delete;

    // Greater than 0 with the option's text in out; 0 when absent (out empty).
    StatusWord GetOption(UINT nOptionId, CStrBuf& out);
};

extern COptionStore g_optionStore;
