// The framework's control bar: a child window that carries a bar style of its own
// beside its window style. This layer has no docking frames, so a bar is placed by
// its parent like any child window.
#pragma once

#include <windows.h>

#include "framework/Wnd.h"

// Bar styles, kept in CControlBar::m_dwStyle and never in the window style.
constexpr DWORD CBRS_SIZE_DYNAMIC = 0x0004;  // the bar may change its size
constexpr DWORD CBRS_HIDE_INPLACE = 0x0008;  // the bar is hidden rather than docked
constexpr DWORD CBRS_TOOLTIPS = 0x0010;      // the bar asks for tool tips
constexpr DWORD CBRS_FLOAT_MULTI = 0x0040;   // several bars may float together
constexpr DWORD CBRS_ALL = 0x0040FFFF;       // every bit that is a bar style

class CControlBar : public CWnd {
    DECLARE_DYNAMIC(CControlBar)

  public:
    CControlBar();

    DWORD m_dwStyle;  // the bar style (CBRS_ bits)

  protected:
    // Runs the window's own creation and asks for tool tips when the bar style says so.
    int OnCreate(LPCREATESTRUCTA lpCreateStruct);

    DECLARE_MESSAGE_MAP()
};
