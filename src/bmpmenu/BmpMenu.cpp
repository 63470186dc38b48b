#include "bmpmenu/BmpMenu.h"

// oleacc.h needs windows.h first.
#include <oleacc.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "bmpmenu/BmpMenuAccessible.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "core/ProductName.h"
#include "design/velDsgn.h"
#include "framework/DC.h"
#include "framework/GdiObject.h"
#include "util/OsInfo.h"
#include "util/TraceLog.h"

IMPLEMENT_DYNAMIC(CBmpMenu, CWnd)

BEGIN_MESSAGE_MAP(CBmpMenu, CWnd)
ON_WM_PAINT()
END_MESSAGE_MAP()

namespace {

// The popup: a topmost tool window with a thin frame that passes the focus to its
// children's controls.
constexpr DWORD kPopupExStyle =
    WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;
// WS_POPUP with WS_CHILD: an owned top-level window whose GetParent is its owner, so a
// submenu finds its parent menu that way.
constexpr DWORD kPopupStyle = WS_POPUP | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER;
// The strip: a wrapping flat list of buttons that lets its parent erase and draw them.
constexpr DWORD kStripCtrlStyle =
    TBSTYLE_WRAPABLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_CUSTOMERASE;
constexpr DWORD kStripBarStyle =
    WS_CLIPCHILDREN | CBRS_FLOAT_MULTI | CBRS_TOOLTIPS | CBRS_HIDE_INPLACE | CBRS_SIZE_DYNAMIC;

// The window class of the popups.
constexpr char kClassName[] = "BitmapMenu";

// Frame and spacing around the strip, pixels.
constexpr int kFrame = 6;

// Size of a menu item text buffer, bytes.
constexpr UINT kTextSize = 260;

// The banner text: the maker's name.
constexpr char kBannerText[] = VEL_COMPANY_NAME;
// Design property of the banner text colour.
constexpr LONG kBannerTextColorId = 205;

// One channel of a gradient row: A + i²B/n² - i²A/n², each division on its own.
BYTE GradientChannel(BYTE nTop, BYTE nBottom, int64_t i, int64_t n) {
    const int64_t i2 = i * i;
    const int64_t n2 = n * n;
    return static_cast<BYTE>(nTop + (i2 * nBottom) / n2 - (i2 * nTop) / n2);
}

// The colour of gradient row i of n.
COLORREF GradientRow(COLORREF crTop, COLORREF crBottom, int i, int n) {
    return RGB(GradientChannel(GetRValue(crTop), GetRValue(crBottom), i, n),
               GradientChannel(GetGValue(crTop), GetGValue(crBottom), i, n),
               GradientChannel(GetBValue(crTop), GetBValue(crBottom), i, n));
}

}  // namespace

CBmpMenu::CBmpMenu(int nBannerWidth, BOOL bSubMenuBanner, HBITMAP hBannerBitmap, DWORD nExtra)
    : m_pOwner(nullptr),
      m_crBannerGradient(0x00000000),
      m_crBanner(0x0000B240),
      m_pSubMenu(nullptr),
      m_hBannerBitmap(nullptr),
      m_bSubMenuBanner(bSubMenuBanner),
      m_nExtra(nExtra),
      m_nBannerWidth(nBannerWidth),
      m_dwTrackFlags(0),
      m_pAccessible(nullptr),
      m_bPopupAnnounced(FALSE) {
    BITMAP bm;
    if (hBannerBitmap != nullptr && GetObjectA(hBannerBitmap, sizeof(bm), &bm) != 0) {
        m_hBannerBitmap = hBannerBitmap;
    }
}

CBmpMenu::~CBmpMenu() {
    try {
        ReleaseItems();
    } catch (...) {
        // Nothing may leave a destructor; the bases still free the window and the menu.
    }
    ReleaseAccessible();
}

BOOL CBmpMenu::Track(UINT, int x, int y, CWnd* pOwner, const RECT* pExclude) {
    if (m_dwTrackFlags == 0) m_pOwner = pOwner;
    if (m_pOwner == nullptr || !::IsWindow(m_pOwner->m_hWnd)) return FALSE;
    ::SendMessageA(m_pOwner->m_hWnd, m_dwTrackFlags != 0 ? WM_INITMENUPOPUP : WM_INITMENU,
                   reinterpret_cast<WPARAM>(m_hMenu), 0);

    const RECT rcNone = {0, 0, 0, 0};
    if (!CreateEx(kPopupExStyle, nullptr, nullptr, kPopupStyle, rcNone, pOwner, 0)) return FALSE;
    // Kept for the way out: once the window is gone it no longer leads to the parent.
    CBmpMenu* pParent = (m_dwTrackFlags & BMF_SUBMENU) != 0 ? GetParentMenu() : nullptr;
    if (pParent != nullptr) pParent->m_pSubMenu = this;
    // A submenu whose window went away without its parent closing it must not stay recorded
    // there.
    const auto leaveParent = [this, pParent] {
        if (pParent != nullptr && pParent->m_pSubMenu == this) pParent->m_pSubMenu = nullptr;
    };
    try {
        m_pToolBar.reset(new CBmpMenuToolBar);
        const RECT rcBorders = {0, 0, 0, 0};
        if (!m_pToolBar->CreateEx(this, kStripCtrlStyle, kStripBarStyle, rcBorders,
                                  AFX_IDW_TOOLBAR)) {
            // Nothing was shown and the loop was never entered: the menu goes away
            // without telling the owner that a loop ended.
            m_pToolBar.reset();
            leaveParent();
            CWnd::DestroyWindow();
            return FALSE;
        }
        ShowAndRunLoop(BuildItems(m_pToolBar.get(), x, y, pExclude));
    } catch (...) {
        leaveParent();
        ReleaseItems();
        throw;
    }
    leaveParent();
    ReleaseItems();
    return TRUE;
}

void CBmpMenu::ShowAndRunLoop(const RECT& rcWindow) {
    if (m_dwTrackFlags == 0) ::SetForegroundWindow(m_pOwner->m_hWnd);
    // Placed and shown without activation in one step: the hidden popup is sized only
    // once, as it appears.
    ::SetWindowPos(m_hWnd, nullptr, rcWindow.left, rcWindow.top, rcWindow.right - rcWindow.left,
                   rcWindow.bottom - rcWindow.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // As the system's own menus do; the hot item's focus follows from the strip.
    ::NotifyWinEvent(EVENT_SYSTEM_MENUPOPUPSTART, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    m_bPopupAnnounced = TRUE;
    ::SetFocus(m_hWnd);
    if ((m_dwTrackFlags & BMF_SELECTFIRST) != 0) {
        ::SendMessageA(m_pToolBar->m_hWnd, TB_SETHOTITEM, 0, 0);
    }
    m_dwTrackFlags &= ~BMF_SELECTFIRST;
    if (::IsWindow(m_pOwner->m_hWnd)) {
        ::SendMessageA(m_pOwner->m_hWnd, WM_ENTERMENULOOP, reinterpret_cast<WPARAM>(m_hMenu),
                       reinterpret_cast<LPARAM>(m_hWnd));
    }
    RunModalLoop(0);
}

void CBmpMenu::SetBannerColor(COLORREF crColor) {
    m_crBanner = crColor == 0xFFFFFFFF ? ::GetSysColor(COLOR_ACTIVECAPTION) : crColor;
}

void CBmpMenu::SetBannerGradientColor(COLORREF crColor) {
    m_crBannerGradient =
        crColor == 0xFFFFFFFF ? ::GetSysColor(COLOR_GRADIENTACTIVECAPTION) : crColor;
}

BOOL CBmpMenu::DestroyWindow() {
    if (m_pOwner != nullptr) ::SendMessageA(m_pOwner->m_hWnd, WM_EXITMENULOOP, 0, 0);
    CBmpMenu* pParent = GetParentMenu();
    if (pParent != nullptr) ::SetFocus(pParent->m_hWnd);
    return CWnd::DestroyWindow();
}

void CBmpMenu::CloseSubMenus() {
    if (m_pSubMenu == nullptr) return;
    m_pSubMenu->CloseSubMenus();
    m_pSubMenu->EndModalLoop(0);
    m_pSubMenu = nullptr;
}

void CBmpMenu::CloseMenuChain() {
    if (m_hWnd == nullptr || !::IsWindow(m_hWnd)) return;
    CBmpMenu* pParent = GetParentMenu();
    if (pParent != nullptr && ::IsWindow(pParent->m_hWnd)) pParent->CloseMenuChain();
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        CloseSubMenus();
        EndModalLoop(0);
        m_pSubMenu = nullptr;
    }
}

POINT CBmpMenu::CalcPosition(int x, int y, const RECT* pExclude, int nWidth, int nHeight,
                             const RECT& rcScreen) {
    const RECT& d = rcScreen;
    if (pExclude == nullptr) {
        if (x + nWidth < d.right && y + nHeight < d.bottom) return {x, y};
        if (x - nWidth > d.left && y + nHeight < d.bottom) return {x - nWidth, y};
        if (x + nWidth < d.right && y - nHeight > d.top) return {x, y - nHeight};
        if (x - nWidth > d.left && y - nHeight > d.top) return {x - nWidth, y - nHeight};
        return {x, y};
    }
    const RECT& e = *pExclude;
    if (e.right + nWidth < d.right && e.top + nHeight < d.bottom) return {e.right, e.top};
    if (e.right + nWidth < d.right && e.bottom - nHeight > d.top) {
        return {e.right, e.bottom - nHeight};
    }
    if (e.left - nWidth > d.left && e.top + nHeight < d.bottom) return {e.left - nWidth, e.top};
    if (e.left - nWidth > d.left && e.bottom - nHeight > d.top) {
        return {e.left - nWidth, e.bottom - nHeight};
    }
    // Nothing fits beside the rectangle: like a point that fits nowhere, the menu opens
    // at the first candidate, where at least its top left corner is on the screen.
    return {e.right, e.top};
}

BOOL CBmpMenu::PreCreateWindow(CREATESTRUCTA& cs) {
    const BOOL bResult = CWnd::PreCreateWindow(cs);
    WNDCLASSA wc = {};
    if (!::GetClassInfoA(cs.hInstance, cs.lpszClass, &wc)) return FALSE;
    wc.hInstance = cs.hInstance;
    wc.lpszClassName = kClassName;
    if (!AfxRegisterClass(&wc)) return FALSE;
    cs.lpszClass = kClassName;
    return bResult;
}

LRESULT CBmpMenu::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (m_pOwner != nullptr) ::PostMessageA(m_pOwner->m_hWnd, message, wParam, lParam);
            return 0;
        case WM_ACTIVATE:
            OnActivate(wParam, lParam);
            return 0;
        case WM_KEYDOWN: {
            // Keys go to the deepest open submenu's strip.
            CWnd* pTarget =
                m_pSubMenu != nullptr ? static_cast<CWnd*>(m_pSubMenu) : m_pToolBar.get();
            if (pTarget != nullptr) ::SendMessageA(pTarget->m_hWnd, message, wParam, lParam);
            return 0;
        }
        case WM_SYSKEYDOWN:
            CloseMenuChain();
            return CWnd::DefWindowProc(message, wParam, lParam);
        case WM_DESTROY:
            // Normally the submenus have closed before; a popup that goes with its owner
            // must not leave an open submenu waiting in its loop.
            CloseSubMenus();
            AnnouncePopupEnd();
            ReleaseAccessible();
            return CWnd::DefWindowProc(message, wParam, lParam);
        case WM_GETOBJECT:
            // The popup's client is the menu as assistive technology reads it; the window
            // itself and everything else stay the system's.
            if (static_cast<LONG>(lParam) != OBJID_CLIENT) {
                return CWnd::DefWindowProc(message, wParam, lParam);
            }
            if (m_pAccessible == nullptr) m_pAccessible = new CBmpMenuAccessible(m_hWnd);
            return ::LresultFromObject(IID_IAccessible, wParam, m_pAccessible);
        case BMM_ACCCALL:
            // Only this popup's own object is answered, never one of an earlier popup that
            // had the same handle.
            if (m_pAccessible == nullptr || wParam != reinterpret_cast<WPARAM>(m_pAccessible)) {
                return 0;
            }
            return CBmpMenuAccessible::Answer(*this, lParam);
        case BMM_REARM:
            if (m_pToolBar != nullptr) ::SendMessageA(m_pToolBar->m_hWnd, BMM_REARM, 0, 0);
            return 0;
        case BMM_OPENSUBMENU:
            OpenSubMenu(wParam, lParam);
            return 0;
        default:
            return CWnd::DefWindowProc(message, wParam, lParam);
    }
}

void CBmpMenu::OnActivate(WPARAM wParam, LPARAM lParam) {
    // Focus moving between the menus of the cascade is no reason to close; anything else that
    // takes the activation is.
    HWND hOther = reinterpret_cast<HWND>(lParam);
    if (hOther == nullptr) {
        CloseMenuChain();
    } else if (::IsWindow(hOther) && LOWORD(wParam) == WA_INACTIVE) {
        CWnd* pOther = FromHandlePermanent(hOther);
        if (pOther == nullptr || !pOther->IsKindOf(RUNTIME_CLASS(CBmpMenu))) CloseMenuChain();
    }
}

void CBmpMenu::OnPaint() {
    CPaintDC dc(m_hWnd);
    RECT rc = {};
    ::GetClientRect(m_hWnd, &rc);
    const int nHeight = rc.bottom - rc.top;

    const int n = 5 * nHeight / 6;
    const COLORREF crTop = m_crBanner & 0x00FFFFFF;
    const COLORREF crBottom = m_crBannerGradient & 0x00FFFFFF;
    if (!PaintBannerBits(dc, rc, n, crTop, crBottom)) {
        dc.FillSolidRect(rc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        const RECT rcSolid = {rc.left, rc.top, rc.right, rc.bottom - n};
        dc.FillSolidRect(rcSolid, crTop);
        // The gradient is quadratic; its last row is not yet the bottom colour, and the
        // client area's bottom row keeps the highlight colour.
        for (int i = 1; i < n; ++i) {
            const int y = rc.bottom - n + (i - 1);
            const RECT rcRow = {rc.left, y, rc.right, y + 1};
            dc.FillSolidRect(rcRow, GradientRow(crTop, crBottom, i, n));
        }
    }

    CFont font;
    font.Attach(::CreateFontA(16, 0, 900, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS,
                              "Arial"));
    CSelectObject selectFont(dc, font.GetSafeHandle());
    const COLORREF crText = g_velDsgn.GetColor(kBannerTextColorId);
    dc.SetTextColor(crText == 0xFFFFFFFF ? ::GetSysColor(COLOR_CAPTIONTEXT) : crText);
    dc.SetBkMode(TRANSPARENT);
    // Turned by 90 degrees, the text starts 5 pixels right of the left edge and 5
    // pixels above the bottom and runs upwards.
    RECT rcText = {rc.left + 5, rc.bottom - 5, rc.right, rc.top - 5};
    dc.DrawText(kBannerText, -1, &rcText, DT_END_ELLIPSIS);
}

BOOL CBmpMenu::PaintBannerBits(CDC& dc, const RECT& rc, int n, COLORREF crTop, COLORREF crBottom) {
    // Only where every colour is stored exactly do the pixels of a block equal those of
    // the fills.
    if (::GetDeviceCaps(dc.GetSafeHdc(), BITSPIXEL) < 24 ||
        ::GetDeviceCaps(dc.GetSafeHdc(), PLANES) != 1) {
        return FALSE;
    }
    const int nWidth = rc.right - rc.left;
    const int nHeight = rc.bottom - rc.top;
    if (nWidth <= 0 || nHeight <= 0) return TRUE;
    std::vector<DWORD> pixels(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight));
    const auto fillRows = [&](int yFrom, int yTo, COLORREF cr) {
        std::fill(pixels.begin() + static_cast<ptrdiff_t>(yFrom) * nWidth,
                  pixels.begin() + static_cast<ptrdiff_t>(yTo) * nWidth, PixelOf(cr));
    };
    // As the fills: the highlight colour, over it the solid top, then the gradient rows.
    fillRows(0, nHeight, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    fillRows(0, nHeight - n, crTop);
    for (int i = 1; i < n; ++i) {
        const int y = nHeight - n + (i - 1);
        fillRows(y, y + 1, GradientRow(crTop, crBottom, i, n));
    }
    BITMAPINFO bmi = TopDownInfo32(nWidth, nHeight);
    return ::SetDIBitsToDevice(dc.GetSafeHdc(), rc.left, rc.top, static_cast<DWORD>(nWidth),
                               static_cast<DWORD>(nHeight), 0, 0, 0, static_cast<UINT>(nHeight),
                               pixels.data(), &bmi, DIB_RGB_COLORS) == nHeight;
}

RECT CBmpMenu::BuildItems(CBmpMenuToolBar* pBar, int x, int y, const RECT* pExclude) {
    const HWND hBar = pBar->m_hWnd;
    pBar->EnableToolTips(TRUE);
    const int cxCheck = ::GetSystemMetrics(SM_CXMENUCHECK);
    ::SendMessageA(hBar, TB_SETBITMAPSIZE, 0,
                   MAKELONG(cxCheck, ::GetSystemMetrics(SM_CYMENUCHECK)));
    AddItemButtons(hBar);
    const SIZE size = SizeStrip(hBar, cxCheck);
    return PlaceWindow(x, y, pExclude, size.cx, size.cy);
}

void CBmpMenu::AddItemButtons(HWND hBar) {
    std::vector<TBBUTTON> buttons;
    for (int i = 0; i < ::GetMenuItemCount(m_hMenu); ++i) {
        TBBUTTON button = {};
        if (MakeItemButton(hBar, i, button)) buttons.push_back(button);
    }
    // All buttons in one message: the control lays itself out once rather than once per
    // item. Should the control refuse them, the menu shows without items; the records
    // are freed with the others when the loop ends.
    if (!buttons.empty()) {
        ::SendMessageA(hBar, TB_ADDBUTTONSA, static_cast<WPARAM>(buttons.size()),
                       reinterpret_cast<LPARAM>(buttons.data()));
    }
}

bool CBmpMenu::MakeItemButton(HWND hBar, int nIndex, TBBUTTON& button) {
    std::unique_ptr<char[]> pText(new char[kTextSize]());
    MENUITEMINFOA mii = {};
    // Systems before Windows 2000 know the record without its last member.
    mii.cbSize = g_osInfo.m_nMajor < 5 ? 44 : sizeof(MENUITEMINFOA);
    mii.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_TYPE | MIIM_DATA;
    mii.dwTypeData = pText.get();
    mii.cch = kTextSize;
    if (!::GetMenuItemInfoA(m_hMenu, nIndex, TRUE, &mii)) {
        g_traceLog.WriteNumber("Failed to retrieve MenuItemInfo LastError == %x",
                               static_cast<StatusWord>(::GetLastError()), 16, 8);
        return false;
    }
    // A separator reports no text; a bitmap item reports its bitmap in place of the
    // text, and is shown without text.
    if (mii.dwTypeData != pText.get()) {
        pText.reset();
        mii.dwTypeData = nullptr;
    }
    std::unique_ptr<MENUITEMINFOA> pRecord(new MENUITEMINFOA(mii));
    button.iBitmap = 0;
    button.idCommand = static_cast<int>(mii.wID);
    // The wrap state ends each button's row, so that the items stand in one column.
    button.fsState =
        CBmpMenuToolBar::IsUnusable(&mii) ? 0 : static_cast<BYTE>(TBSTATE_ENABLED | TBSTATE_WRAP);
    button.fsStyle = (mii.fType & MFT_SEPARATOR) != 0 ? BTNS_SEP : 0;
    button.dwData = reinterpret_cast<DWORD_PTR>(pRecord.get());
    button.iString = 0;
    if (pText) {
        // The text goes into the control's string list before its button exists, so
        // the button is added once with its text instead of being added, removed and
        // inserted again; the list takes texts that end with two zeros. A text the
        // control refuses leaves the button without one.
        std::string strings(pText.get(), std::strlen(pText.get()) + 1);
        strings += '\0';
        const LRESULT nString =
            ::SendMessageA(hBar, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(strings.c_str()));
        if (nString != -1) button.iString = nString;
        m_itemTexts.push_back(std::move(pText));
    }
    m_itemRecords.push_back(std::move(pRecord));
    return true;
}

SIZE CBmpMenu::SizeStrip(HWND hBar, int cxCheck) {
    const LRESULT nSize = ::SendMessageA(hBar, TB_GETBUTTONSIZE, 0, 0);
    const int cxButton = LOWORD(nSize) + cxCheck;
    ::SendMessageA(hBar, TB_SETBUTTONWIDTH, 0, MAKELONG(cxButton, cxButton));

    // A menu without items has no buttons to measure: it shows as its banner in the
    // frame.
    RECT rcFirst = {0, 0, 0, 0};
    RECT rcLast = {0, 0, 0, 0};
    const int nButtons = static_cast<int>(::SendMessageA(hBar, TB_BUTTONCOUNT, 0, 0));
    const auto measure = [&] {
        if (nButtons <= 0) return;
        ::SendMessageA(hBar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rcFirst));
        ::SendMessageA(hBar, TB_GETITEMRECT, nButtons - 1, reinterpret_cast<LPARAM>(&rcLast));
    };
    measure();
    const int cxItems = rcFirst.right - rcFirst.left;
    // The control lays its rows out again for the width it is given: a separator that
    // stood in a row of its own beside a narrow strip joins the row of the item above it.
    // The frame is measured on the layout the strip keeps, so that it ends right under
    // the last item.
    ::MoveWindow(hBar, m_nBannerWidth, 0, cxItems + kFrame, rcLast.bottom + kFrame, FALSE);
    measure();
    const int nHeight = (rcLast.bottom - rcFirst.top) + kFrame;
    ::MoveWindow(hBar, m_nBannerWidth, 0, cxItems + kFrame, nHeight, TRUE);
    ::ShowWindow(hBar, SW_SHOWNOACTIVATE);
    return SIZE{cxItems + m_nBannerWidth + kFrame, nHeight};
}

RECT CBmpMenu::PlaceWindow(int x, int y, const RECT* pExclude, int nWidth, int nHeight) const {
    RECT rcDesktop = {};
    ::GetWindowRect(::GetDesktopWindow(), &rcDesktop);
    const POINT pt = CalcPosition(x, y, pExclude, nWidth, nHeight, rcDesktop);
    return {pt.x, pt.y, pt.x + nWidth, pt.y + nHeight};
}

void CBmpMenu::OpenSubMenu(WPARAM wParam, LPARAM lParam) {
    if (m_pToolBar == nullptr) return;
    const HWND hBar = m_pToolBar->m_hWnd;
    POINT pt = AfxPointFromLParam(static_cast<LPARAM>(wParam));
    const int nIndex =
        static_cast<int>(::SendMessageA(hBar, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt)));
    TBBUTTON button = {};
    if (!::SendMessageA(hBar, TB_GETBUTTON, nIndex, reinterpret_cast<LPARAM>(&button))) return;
    const MENUITEMINFOA* pRecord = reinterpret_cast<const MENUITEMINFOA*>(button.dwData);
    if (pRecord == nullptr || pRecord->hSubMenu == nullptr) return;
    RECT rc = {};
    ::SendMessageA(hBar, TB_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(&rc));
    ::ClientToScreen(hBar, reinterpret_cast<POINT*>(&rc.left));
    ::ClientToScreen(hBar, reinterpret_cast<POINT*>(&rc.right));

    CBmpMenu child(m_bSubMenuBanner ? m_nBannerWidth : 0, m_bSubMenuBanner,
                   m_bSubMenuBanner ? m_hBannerBitmap : nullptr, m_nExtra);
    child.m_pOwner = m_pOwner;
    child.Attach(pRecord->hSubMenu);
    // A submenu that opens to the left clears this menu's banner too.
    rc.left -= m_nBannerWidth;
    child.m_dwTrackFlags = static_cast<DWORD>(lParam) | BMF_SUBMENU;
    try {
        child.Track(0, 0, 0, this, &rc);
    } catch (...) {
        child.Detach();
        throw;
    }
    // The submenu's handle belongs to this menu's handle.
    child.Detach();
}

void CBmpMenu::ReleaseItems() {
    AnnouncePopupEnd();
    if (m_pToolBar != nullptr) {
        if (m_pToolBar->m_hWnd != nullptr && ::IsWindow(m_pToolBar->m_hWnd)) {
            m_pToolBar->DestroyWindow();
        }
        m_pToolBar.reset();
    }
    // The buttons that pointed to the records are gone now.
    m_itemRecords.clear();
    m_itemTexts.clear();
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) DestroyWindow();
}

CBmpMenu* CBmpMenu::GetParentMenu() const {
    if (m_hWnd == nullptr) return nullptr;
    CWnd* pParent = FromHandlePermanent(::GetParent(m_hWnd));
    if (pParent == nullptr || !pParent->IsKindOf(RUNTIME_CLASS(CBmpMenu))) return nullptr;
    return static_cast<CBmpMenu*>(pParent);
}

void CBmpMenu::AnnouncePopupEnd() {
    if (!m_bPopupAnnounced) return;
    m_bPopupAnnounced = FALSE;
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        ::NotifyWinEvent(EVENT_SYSTEM_MENUPOPUPEND, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    }
}

void CBmpMenu::ReleaseAccessible() {
    if (m_pAccessible == nullptr) return;
    m_pAccessible->Disconnect();
    m_pAccessible->Release();
    m_pAccessible = nullptr;
}
