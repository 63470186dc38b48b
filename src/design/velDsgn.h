// Access to the suite's design component (pictures, colours, names), with
// built-in answers where the component gives none. This first version does not
// load the component yet and answers every numeric property locally.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include "text/StrBuf.h"

class CvelDsgn {
  public:
    CvelDsgn();
    CvelDsgn(const CvelDsgn&) = delete;
    CvelDsgn& operator=(const CvelDsgn&) = delete;

    // Loads the design component and copies the values kept here.
    void Init();
    // Answers property nId into pVar; *pStatus (when given) is above 0 for an answer.
    HRESULT GetProperty(LONG nId, VARIANT* pVar, StatusWord* pStatus);

  private:
    // The stored word of a numeric property; false when nId is not one.
    bool StoredValue(LONG nId, DWORD& value) const;

    HICON m_hIcon;           // property 101
    DWORD m_dwValues[9];     // properties 104, 106, 110, 111, 112, 113, 103, 105, 107
    COLORREF m_crColors[9];  // properties 201 to 209
};

extern CvelDsgn g_velDsgn;
