// One UTF-16 text on its way from a language library to its caller.
#pragma once

#include <windows.h>

#include "text/StrBuf.h"

// Holds a zero-terminated UTF-16 text in a malloc block of its own. A failed assignment keeps the
// previous text, so a holder is always either empty or a whole text.
class CWideText {
  public:
    // Empty holder without a block.
    CWideText();
    // Releases the block.
    ~CWideText();
    CWideText(const CWideText&) = delete;
    CWideText& operator=(const CWideText&) = delete;

    // Converts an ANSI text of the system code page. ST_OK; ST_E_INVALIDARG for a null or empty
    // text; ST_E_FAIL when the text does not convert; ST_E_OUTOFMEMORY.
    StatusWord AssignAnsi(const char* pszText);
    // Copies a UTF-16 text. ST_OK; ST_E_INVALIDARG for a null or empty text; ST_E_OUTOFMEMORY.
    StatusWord AssignWide(const WCHAR* pszText);
    // Converts to the system code page into out; characters without an ANSI form become the code
    // page's default character. ST_OK (an empty holder gives an empty out), or a failure status
    // with out unchanged.
    StatusWord ToAnsi(CStrBuf& out) const;
    // The text; never null, an empty holder gives an empty text.
    const WCHAR* CStr() const;
    // Number of characters, terminator not counted.
    UINT Length() const;

  private:
    // Frees the held block and takes block, which holds n characters and a terminator.
    void Take(WCHAR* block, UINT n);

    // The malloc block with the zero-terminated text, or null when empty.
    WCHAR* m_pText;
    // Characters held, terminator not counted.
    UINT m_nLength;
};
