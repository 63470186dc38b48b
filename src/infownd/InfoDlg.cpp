#include "infownd/InfoDlg.h"

// oleacc.h needs windows.h first.
#include <oleacc.h>

#include <iterator>
#include <new>
#include <string>
#include <utility>

#include "bmpmenu/AccessibleObject.h"
#include "core/velTrayLibApp.h"
#include "framework/DC.h"
#include "framework/DataExchange.h"
#include "framework/GdiObject.h"
#include "infownd/InfoPlacement.h"
#include "text/TextTable.h"
#include "velctl/velCtlTextEnabler.h"

namespace {

// The hide control's label in the current language.
constexpr UINT kTextHide = 5424;
// Extra room around the measured text and the controls.
constexpr int kTextWidthMargin = 15;
constexpr int kWidthMargin = 20;
constexpr int kHeightMargin = 24;
// Pause between two steps of the slide-in, on every edge.
constexpr DWORD kSlideInPauseMs = 25;
// Beside a taskbar on the left or right the window grows out of it; it starts this far
// inside the taskbar's border.
constexpr int kGrowOverlap = 3;
// One animation step: moved without waiting for the window's thread, never activated.
constexpr UINT kStepFlags = SWP_ASYNCWINDOWPOS | SWP_SHOWWINDOW | SWP_NOACTIVATE;
constexpr UINT kZOrderOnly = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

// How the window moves out of the taskbar on one edge and back into it. A step places the
// window d pixels short of its full place: its top-left corner moves by d times (nMoveX,
// nMoveY) and by nShiftX, and a window that grows is d pixels narrower (plus the overlap).
struct CEdgeSlide {
    int nMoveX;          // horizontal movement per pixel still inside the taskbar
    int nMoveY;          // vertical movement per pixel still inside the taskbar
    int nShiftX;         // fixed horizontal offset of every step
    bool bGrows;         // the width grows with what is out; else the height is travelled
    int nStep;           // pixels per step
    DWORD nHidePauseMs;  // pause between two steps of the hide
};

// The slides, in the order of the edge values (kEdgeBottom, kEdgeRight, kEdgeTop, kEdgeLeft).
constexpr CEdgeSlide kEdgeSlides[] = {
    {0, 1, 0, false, 5, 30},              // bottom: rises out of the taskbar
    {1, 0, 0, true, 10, 10},              // right: grows leftwards out of it
    {0, -1, 0, false, 5, 30},             // top: drops out of it
    {0, 0, -kGrowOverlap, true, 10, 10},  // left: grows rightwards out of it
};
static_assert(kEdgeBottom == 0 && kEdgeRight == 1 && kEdgeTop == 2 && kEdgeLeft == 3,
              "kEdgeSlides is indexed by the edge");

// True when the window's text is the text.
bool HasWindowText(HWND hWnd, const char* pszText) {
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(hWnd)) + 1, '\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextA(hWnd, &text[0], static_cast<int>(text.size()))));
    return text == pszText;
}

}  // namespace

CInfoDlg::CInfoDlg()
    : CDialog(IDD),
      m_bCheck(FALSE),
      m_bHiddenByUser(0),
      m_bShown(0),
      m_hTaskbarWnd(nullptr),
      m_nEdge(kEdgeBottom),
      m_pAlert(nullptr) {}

CInfoDlg::~CInfoDlg() {
    // Destroyed here, while the controls' wrappers still exist.
    DestroyWindow();
    if (m_pAlert != nullptr) m_pAlert->Release();
}

BOOL CInfoDlg::Create() { return CDialog::Create(nullptr, g_hLibInstance); }

void CInfoDlg::SetTaskbar(HWND hTaskbarWnd) { m_hTaskbarWnd = hTaskbarWnd; }

void CInfoDlg::SetText(const char* pszText) { m_strText.Assign(pszText); }

void CInfoDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kHideControlId, m_hideButton);
    DDX_Control(pDX, kTextControlId, m_textCtrl);
    DDX_Text(pDX, kTextControlId, m_strText);
    DDX_Check(pDX, kHideControlId, m_bCheck);
}

BOOL CInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_bShown = 0;
    Layout();
    // No focus for any control: the window must never take it from the user's application.
    return FALSE;
}

bool CInfoDlg::OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) {
    switch (message) {
        case WM_CTLCOLORSTATIC: {
            const HBRUSH hBrush =
                OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            if (hBrush == nullptr) return false;
            *pResult = reinterpret_cast<INT_PTR>(hBrush);
            return true;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) != kHideControlId || HIWORD(wParam) != BN_CLICKED) return false;
            OnHideClicked();
            *pResult = TRUE;
            return true;
        case WM_PAINT:
            OnPaint();
            *pResult = TRUE;
            return true;
        case WM_GETOBJECT:
            return OnGetObject(wParam, lParam, pResult);
        default:
            return false;
    }
}

HBRUSH CInfoDlg::OnCtlColorStatic(HDC hDC, HWND hCtrl) {
    const int nId = ::GetDlgCtrlID(hCtrl);
    if (nId != kTextControlId && nId != kHideControlId) return nullptr;
    ::SetTextColor(hDC, RGB(0, 0, 0));
    ::SetBkMode(hDC, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void CInfoDlg::OnHideClicked() {
    ::ShowWindow(m_hWnd, SW_HIDE);
    m_bHiddenByUser = 1;
    m_bShown = 0;
}

void CInfoDlg::OnPaint() {
    {
        CPaintDC dc(m_hWnd);
        DrawBackground(dc);
    }
    ::InvalidateRect(m_textCtrl.m_hWnd, nullptr, TRUE);
    ::InvalidateRect(m_hideButton.m_hWnd, nullptr, TRUE);
}

SIZE CInfoDlg::GetScreenSize() const {
    CClientDC dc(m_hWnd);
    return SIZE{dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES)};
}

SIZE CInfoDlg::CalcSize() {
    SIZE text = {0, 0};
    {
        CClientDC textDc(m_textCtrl.m_hWnd);
        if (textDc.GetSafeHdc() != nullptr) {
            const auto hFont =
                reinterpret_cast<HGDIOBJ>(::SendMessageA(m_textCtrl.m_hWnd, WM_GETFONT, 0, 0));
            CSelectObject font(textDc, hFont);
            text = textDc.GetTextExtent(m_strText.CStr(), static_cast<int>(m_strText.Length()));
            text.cx += kTextWidthMargin;
        } else {
            CClientDC dc(m_hWnd);
            text = dc.GetTextExtent(m_strText.CStr(), static_cast<int>(m_strText.Length()));
        }
    }
    RECT hide = {0, 0, 0, 0};
    ::GetClientRect(m_hideButton.m_hWnd, &hide);
    const int nHideWidth = hide.right - hide.left;
    const int nHideHeight = hide.bottom - hide.top;
    return SIZE{(text.cx > nHideWidth ? text.cx : nHideWidth) + kWidthMargin,
                nHideHeight + text.cy + kHeightMargin};
}

void CInfoDlg::Layout() {
    if (m_bHiddenByUser != 0 || m_strText.IsEmpty() || m_hWnd == nullptr) return;
    const bool bWasShown = m_bShown != 0;
    const bool bRenamed = NameAfterText();
    const SIZE screen = GetScreenSize();
    RECT taskbar;
    const bool bHasTaskbar = m_hTaskbarWnd != nullptr && ::GetWindowRect(m_hTaskbarWnd, &taskbar);
    SIZE size = CalcSize();
    // A text longer than the screen is cut rather than making a window that no one sees
    // whole and whose animation would take as long as it is wide.
    if (size.cx > screen.cx) size.cx = screen.cx;
    if (size.cy > screen.cy) size.cy = screen.cy;
    ::SetWindowPos(m_textCtrl.m_hWnd, nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const InfoPlacement place =
        PlaceInfoWindow(screen.cx, screen.cy, bHasTaskbar ? &taskbar : nullptr, size.cx, size.cy);
    m_nEdge = place.nEdge;
    m_hideButton.SetCheck(BST_UNCHECKED);
    if (m_bShown != 0) {
        ::SetWindowPos(m_hWnd, HWND_TOP, place.x, place.y, size.cx, size.cy,
                       SWP_SHOWWINDOW | SWP_NOACTIVATE);
    } else {
        ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, place.x, place.y, size.cx, size.cy,
                       SWP_HIDEWINDOW | SWP_NOACTIVATE);
        SlideIn();
        ::SetWindowPos(m_hWnd, HWND_TOP, place.x, place.y, size.cx, size.cy,
                       SWP_SHOWWINDOW | SWP_NOACTIVATE);
    }
    DrawBackground();
    // The system announces neither by itself everywhere: a window that slid in shows, one
    // already shown has a new name when its text changed.
    if (!bWasShown) {
        ::NotifyWinEvent(EVENT_OBJECT_SHOW, m_hWnd, OBJID_WINDOW, CHILDID_SELF);
    } else if (bRenamed) {
        ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, m_hWnd, OBJID_WINDOW, CHILDID_SELF);
    }
}

bool CInfoDlg::NameAfterText() {
    if (HasWindowText(m_hWnd, m_strText.CStr())) return false;
    ::SetWindowTextA(m_hWnd, m_strText.CStr());
    return true;
}

void CInfoDlg::AnnounceAlert(const char* pszText) {
    if (pszText == nullptr || pszText[0] == '\0' || m_hWnd == nullptr) return;
    CNamedAccessible* pAlert =
        new (std::nothrow) CNamedAccessible(m_hWnd, ROLE_SYSTEM_ALERT, pszText);
    if (pAlert == nullptr) return;
    {
        CScopedLock lock(m_alertLock);
        std::swap(pAlert, m_pAlert);
    }
    if (pAlert != nullptr) pAlert->Release();
    ::NotifyWinEvent(EVENT_SYSTEM_ALERT, m_hWnd, kAlertObjectId, CHILDID_SELF);
}

bool CInfoDlg::OnGetObject(WPARAM wParam, LPARAM lParam, INT_PTR* pResult) {
    if (static_cast<LONG>(lParam) != kAlertObjectId) return false;
    CScopedLock lock(m_alertLock);
    if (m_pAlert == nullptr) return false;
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT,
                        ::LresultFromObject(IID_IAccessible, wParam, m_pAlert));
    *pResult = TRUE;
    return true;
}

RECT CInfoDlg::GetAnimationRect() const {
    RECT rect = {0, 0, 0, 0};
    ::GetWindowRect(m_hWnd, &rect);
    if (rect.top >= 0) return rect;
    RECT client = {0, 0, 0, 0};
    ::GetClientRect(m_hWnd, &client);
    const SIZE screen = GetScreenSize();
    return FallbackWindowRect(screen.cx, screen.cy, client.right, client.bottom);
}

void CInfoDlg::Animate(const RECT& r, bool bOut) {
    if (m_nEdge < 0 || m_nEdge >= static_cast<int>(std::size(kEdgeSlides))) return;
    const CEdgeSlide& slide = kEdgeSlides[m_nEdge];
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    const int nTravel = slide.bGrows ? w : h;
    const DWORD nPauseMs = bOut ? kSlideInPauseMs : slide.nHidePauseMs;
    for (int nDone = 0; nDone < nTravel; nDone += slide.nStep) {
        // d: how much of the window is still inside the taskbar.
        const int d = bOut ? nTravel - nDone : nDone;
        const int cx = slide.bGrows ? w - d + kGrowOverlap : w;
        ::SetWindowPos(m_hWnd, HWND_TOP, r.left + slide.nMoveX * d + slide.nShiftX,
                       r.top + slide.nMoveY * d, cx, h, kStepFlags);
        DrawBackground();
        ::Sleep(nPauseMs);
    }
}

void CInfoDlg::SlideIn() {
    if (m_bHiddenByUser != 0 || m_hWnd == nullptr) return;
    CvelCtlTextEnabler textEnabler;
    // Without a text for the current language the template's label stays.
    CStrBuf label;
    if (g_textTable.Lookup(kTextHide, label) == ST_OK) m_hideButton.SetWindowText(label.CStr());

    const RECT r = GetAnimationRect();
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
    Animate(r, true);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_SHOWWINDOW | SWP_NOACTIVATE);
    DrawBackground();
    m_bShown = 1;
}

void CInfoDlg::Hide(HideMode mode) {
    if (m_hWnd == nullptr) return;
    if (!IsOnCallingThread()) {
        // Another thread's window is hidden at once, without waiting for that thread.
        ::ShowWindowAsync(m_hWnd, SW_HIDE);
        m_bShown = 0;
        return;
    }
    const RECT r = GetAnimationRect();
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
    if (mode == HideMode::kSlide && m_bHiddenByUser == 0 && m_bShown != 0) {
        Animate(r, false);
        ::SetWindowPos(m_hWnd, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_HIDEWINDOW | SWP_NOACTIVATE);
    }
    ::ShowWindow(m_hWnd, SW_HIDE);
    m_bShown = 0;
}

void CInfoDlg::DrawBackground() {
    if (m_hWnd == nullptr) return;
    CClientDC dc(m_hWnd);
    if (dc.GetSafeHdc() != nullptr) DrawBackground(dc);
}

void CInfoDlg::DrawBackground(CDC& dc) {
    RECT client = {0, 0, 0, 0};
    ::GetClientRect(m_hWnd, &client);
    dc.FillSolidRect(client, ::GetSysColor(COLOR_BTNFACE));

    CBitmap picture;
    BITMAP bm = {};
    CDC memDc;
    if (picture.LoadBitmap(g_hLibInstance, kBackgroundBitmapId) && picture.GetBitmap(&bm) != 0 &&
        memDc.CreateCompatibleDC(&dc)) {
        CSelectObject select(memDc, picture);
        if (client.right <= bm.bmWidth && client.bottom <= bm.bmHeight) {
            dc.BitBlt(0, 0, client.right, client.bottom, &memDc, 0, 0, SRCCOPY);
        } else {
            const int nOldMode = dc.SetStretchBltMode(COLORONCOLOR);
            dc.StretchBlt(0, 0, client.right, client.bottom, &memDc, 0, 0, bm.bmWidth, bm.bmHeight,
                          SRCCOPY);
            dc.SetStretchBltMode(nOldMode);
        }
    }

    // Set only when it changed: every setting is a new name to assistive technology.
    if (!HasWindowText(m_textCtrl.m_hWnd, m_strText.CStr())) {
        ::SetWindowTextA(m_textCtrl.m_hWnd, m_strText.CStr());
    }
    if (::IsWindowVisible(m_hideButton.m_hWnd)) {
        ::RedrawWindow(m_hideButton.m_hWnd, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}
