// The library's single access point to the suite's design component (velDsgn.dll
// beside the library): the SEM icon's pictures, the product name, nine design
// colours and a set of product and component names, with built-in answers where the
// component is missing or a request fails.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include "framework/ModuleHandle.h"
#include "text/StrBuf.h"

struct IvelDsgn;

class CvelDsgn {
  public:
    // Built-in defaults only; no component is loaded yet.
    CvelDsgn();
    // Releases the component and the stored texts.
    ~CvelDsgn();
    CvelDsgn(const CvelDsgn&) = delete;
    CvelDsgn& operator=(const CvelDsgn&) = delete;

    // Loads velDsgn.dll from the library's folder and copies properties 101, 102 and
    // 201 to 209 from it. Silent when the component is missing or unusable.
    void Init();
    // Answers property nId into the caller's pVar: through the component when one was
    // obtained, locally otherwise. *pStatus (when given) is above 0 for an answer.
    HRESULT GetProperty(LONG nId, VARIANT* pVar, StatusWord* pStatus);
    // Stored colour of property 201 to 209 (0xFFFFFFFF: the matching system colour);
    // 0xFFFFFFFF for any other id.
    COLORREF GetColor(LONG nId) const;
    // Stored icon of property 101; null when none was obtained.
    HICON GetIcon() const;
    // Stored product name (property 102) as Init read it; empty before.
    const char* GetProductName() const;
    // The 32-bit word of an answer to a numeric property (a colour, an icon handle). Only
    // the 32-bit integer types carry one; any other type (a text, an object, an empty
    // answer) would give the bits of a pointer or whatever was left in the VARIANT, so it is
    // refused and the caller falls back on its default.
    static bool WordFromVariant(const VARIANT& var, DWORD& word);

  private:
    // Releases the design interface and frees the module, whatever state they are in.
    void ReleaseComponent();
    // Copies 101, 102 and 201 to 209 from the design interface, with fallbacks.
    void ReadComponent();
    // Sets the product name from a component's answer to 102.
    void TakeProductName(const VARIANT& var);
    // The stored word of a numeric property; false when nId is not one.
    bool StoredValue(LONG nId, DWORD& value) const;
    // The stored VARIANT of property 102 or 301 to 313; null for any other id.
    VARIANT* StoredName(LONG nId);

    CStrBuf m_strProduct;     // ANSI text of property 102 as Init read it
    HICON m_hIcon;            // property 101; not owned, never destroyed here
    DWORD m_dwValues[9];      // properties 104, 106, 110, 111, 112, 113, 103, 105, 107
    COLORREF m_crColors[9];   // properties 201 to 209
    IvelDsgn* m_pDsgn;        // the component's object; one reference owned
    VARIANT m_varNames[14];   // properties 102 and 301 to 313, in that order; owned
    CModuleHandle m_hModule;  // the loaded velDsgn.dll; one load owned
};

// The process's design provider.
extern CvelDsgn g_velDsgn;
