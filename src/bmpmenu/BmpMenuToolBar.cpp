// The system bitmaps' ids (OBM_CHECK) come with windows.h only on request.
#define OEMRESOURCE
#include "bmpmenu/BmpMenuToolBar.h"

// oleacc.h needs windows.h first.
#include <oleacc.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "bmpmenu/BmpMenu.h"
#include "core/velTrayLibMgr.h"
#include "framework/DC.h"
#include "framework/KernelHandle.h"
#include "tray/IconMenu.h"

BEGIN_MESSAGE_MAP(CBmpMenuToolBar, CToolBar)
ON_WM_CREATE()
ON_WM_LBUTTONDOWN()
ON_WM_KEYDOWN()
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
ON_WM_MOUSEMOVE()
ON_WM_CHAR()
ON_MESSAGE(BMM_ITEMCLICK, OnItemClick)
END_MESSAGE_MAP()

namespace {

// Text format of the items: one line, centred vertically, with & marking the mnemonic.
constexpr UINT kItemTextFormat = DT_VCENTER | DT_SINGLELINE;

// Draws an item's text (null: none) in crText; embossed, a highlight copy lies one pixel
// right and down under it, as the system draws a greyed item that is not hot.
void DrawItemText(CDC& dc, RECT rcText, const char* pszText, COLORREF crText, bool bEmbossed) {
    dc.SetBkMode(TRANSPARENT);
    const char* pszShown = pszText != nullptr ? pszText : "";
    if (bEmbossed) {
        ::OffsetRect(&rcText, 1, 1);
        dc.SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
        dc.DrawText(pszShown, -1, &rcText, kItemTextFormat);
        ::OffsetRect(&rcText, -1, -1);
    }
    dc.SetTextColor(crText);
    dc.DrawText(pszShown, -1, &rcText, kItemTextFormat);
}

// Draws the mark of an item with a submenu: a filled triangle pointing right near the right
// end of the item's text rectangle.
void DrawSubMenuArrow(CDC& dc, const RECT& rcText, COLORREF crArrow) {
    const int c = ::GetSystemMetrics(SM_CXMENUCHECK);
    const int x0 = rcText.right - 3 * c / 4;
    const int y0 = rcText.top + (rcText.bottom - rcText.top - c) / 2;
    const int b = 3 * c / 10;
    const int k = (c - 2 * b) / 2;
    CPen pen;
    pen.CreatePen(PS_SOLID, 1, crArrow);
    CBrush brush;
    brush.CreateSolidBrush(crArrow);
    CSelectObject selectPen(dc, pen.GetSafeHandle());
    CSelectObject selectBrush(dc, brush.GetSafeHandle());
    dc.MoveTo(x0 + b, y0 + b);
    dc.LineTo(x0 + b + k, y0 + b + k);
    dc.LineTo(x0 + b, y0 + b + 2 * k);
    dc.LineTo(x0 + b, y0 + b);
    ::FloodFill(dc.GetSafeHdc(), x0 + b + 1, y0 + b + 2, crArrow);
}

// Frames a checked item's box: a sunken edge, and behind the picture a checkerboard (flat
// when the item is hot). bGiven: the item brought its own picture.
void DrawCheckedFrame(CDC& dc, const RECT& rcBox, BOOL bHot, bool bGiven) {
    RECT rcEdge = rcBox;
    ::DrawEdge(dc.GetSafeHdc(), &rcEdge, BDR_SUNKENOUTER, BF_RECT);
    static const WORD kCheckerRows[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    CBitmap pattern;
    pattern.CreateBitmap(8, 8, 1, 1, kCheckerRows);
    CBrush checker;
    checker.Attach(::CreatePatternBrush(pattern));
    CBrush solid;
    solid.CreateSolidBrush(::GetSysColor(COLOR_MENU));
    CSelectObject selectBrush(dc, bHot ? solid.GetSafeHandle() : checker.GetSafeHandle());
    dc.SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
    dc.SetBkColor(::GetSysColor(COLOR_MENU));
    // Replaces the box background around the picture.
    const COLORREF crSurface = ::GetSysColor(bGiven || !bHot ? COLOR_MENU : COLOR_HIGHLIGHT);
    ::ExtFloodFill(dc.GetSafeHdc(), rcBox.left + 1, rcBox.top + 1, crSurface, FLOODFILLSURFACE);
}

// The position of the last mouse move that was not ignored, shared by all strips and
// kept beyond the menus' lives, so that a move to the same place after a menu opened
// under a resting mouse changes nothing.
POINT g_ptLastMouse = {0, 0};

// The item record behind a button.
const MENUITEMINFOA* RecordOf(const TBBUTTON& button) {
    return reinterpret_cast<const MENUITEMINFOA*>(button.dwData);
}

// A point as the lParam of a mouse message.
LPARAM PointParam(int x, int y) { return MAKELPARAM(x, y); }

// Opens a named event of another program for signalling; owns no handle when it does not exist.
CKernelHandle OpenMonitorEvent(const char* pszName) {
    return CKernelHandle(::OpenEventA(EVENT_MODIFY_STATE, FALSE, pszName));
}

}  // namespace

CBmpMenuToolBar::CBmpMenuToolBar()
    : m_nHotCmd(-1), m_nClickedIndex(-1), m_ptHover{-1, -1}, m_nHoverIndex(-1), m_nFocusIndex(-1) {}

int CBmpMenuToolBar::OnCreate(LPCREATESTRUCTA lpCreateStruct) {
    lpCreateStruct->style &= ~WS_VISIBLE;
    if (CControlBar::OnCreate(lpCreateStruct) == -1) return -1;
    ::SetWindowLongA(m_hWnd, GWL_EXSTYLE, ::GetWindowLongA(m_hWnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    ::SendMessageA(m_hWnd, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    m_font.CreateFontIndirect(&metrics.lfMenuFont);
    ::SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.GetSafeHandle()), TRUE);
    return 0;
}

void CBmpMenuToolBar::OnLButtonDown(UINT nFlags, POINT point) {
    const int nIndex = HitTest(point);
    TBBUTTON button = {};
    if (!GetButton(nIndex, button)) return;
    if (IsUnusable(RecordOf(button))) return;
    // A second press on the item whose click was taken (its submenu may be open) is not
    // a new click.
    if (nIndex < 0 || nIndex == m_nClickedIndex) return;
    CBmpMenu* pMenu = GetBmpMenu();
    if (pMenu != nullptr) pMenu->CloseSubMenus();
    ::PostMessageA(m_hWnd, BMM_ITEMCLICK, nFlags, PointParam(point.x, point.y));
    m_nClickedIndex = nIndex;
}

LRESULT CBmpMenuToolBar::OnItemClick(WPARAM wParam, LPARAM lParam) {
    const int nIndex = HitTest(AfxPointFromLParam(lParam));
    TBBUTTON button = {};
    if (!GetButton(nIndex, button)) return 0;
    const MENUITEMINFOA* pRecord = RecordOf(button);
    CBmpMenu* pMenu = GetBmpMenu();
    if (pRecord != nullptr && pRecord->hSubMenu != nullptr) {
        // Returns when the submenu has closed again.
        if (pMenu != nullptr) {
            ::SendMessageA(pMenu->m_hWnd, BMM_OPENSUBMENU, static_cast<WPARAM>(lParam),
                           wParam & BMF_SELECTFIRST);
        }
        return 0;
    }
    try {
        DeliverCommand(static_cast<UINT>(button.idCommand));
    } catch (...) {
        // Without a tray manager nothing is delivered; the cascade closes all the same.
    }
    if (pMenu != nullptr) pMenu->CloseMenuChain();
    return 0;
}

void CBmpMenuToolBar::DeliverCommand(UINT nCmd) {
    CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
    if (mgr.m_hHostWnd == nullptr) return;
    if (nCmd == CIconMenu::kCmdExit || !mgr.IsSemProgramRunning()) {
        // Both are opened before either is signalled: the monitor may act on the break at
        // once. It learns of the break before the shutdown.
        const CKernelHandle hShutdown = OpenMonitorEvent("MonitorShutdown");
        const CKernelHandle hBreak = OpenMonitorEvent("MonitorBreakEvent");
        if (hBreak.Get() != nullptr) ::SetEvent(hBreak.Get());
        if (hShutdown.Get() != nullptr) ::SetEvent(hShutdown.Get());
    }
    ::PostMessageA(mgr.m_hHostWnd, WM_COMMAND, nCmd, 0);
}

void CBmpMenuToolBar::OnMouseMove(UINT, POINT point) {
    const int nIndex = HitTest(point);
    if (nIndex < 0) return;
    TBBUTTON button = {};
    if (!GetButton(nIndex, button)) return;
    if (IsUnusable(RecordOf(button))) return;
    if (point.x == g_ptLastMouse.x && point.y == g_ptLastMouse.y) return;
    g_ptLastMouse = point;
    if (nIndex != m_nHoverIndex) {
        m_ptHover = point;
        m_nHoverIndex = nIndex;
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_HOVER;
        tme.hwndTrack = m_hWnd;
        tme.dwHoverTime = 0;
        ::_TrackMouseEvent(&tme);
    }
    Default();
}

LRESULT CBmpMenuToolBar::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEHOVER) {
        TBBUTTON button = {};
        if (m_nHoverIndex >= 0 && GetButton(m_nHoverIndex, button) && RecordOf(button) != nullptr) {
            if (RecordOf(button)->hSubMenu != nullptr) {
                // Resting on an item with a submenu opens it as a click would.
                const LPARAM lPoint = PointParam(m_ptHover.x, m_ptHover.y);
                ::SendMessageA(m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
                ::SendMessageA(m_hWnd, WM_LBUTTONUP, MK_LBUTTON, lPoint);
            } else {
                CBmpMenu* pMenu = GetBmpMenu();
                if (pMenu != nullptr) pMenu->CloseSubMenus();
                m_nClickedIndex = -1;
            }
        }
    } else if (message == BMM_REARM) {
        m_nClickedIndex = -1;
    }
    const LRESULT lResult = CToolBar::DefWindowProc(message, wParam, lParam);
    // The messages after which the control may have moved its hot item: the mouse, the
    // arrow keys and the menu's own choice.
    if (message == WM_MOUSEMOVE || message == WM_MOUSELEAVE || message == WM_KEYDOWN ||
        message == TB_SETHOTITEM) {
        AnnounceHotItem();
    }
    return lResult;
}

void CBmpMenuToolBar::AnnounceHotItem() {
    const int nHot = static_cast<int>(::SendMessageA(m_hWnd, TB_GETHOTITEM, 0, 0));
    if (nHot == m_nFocusIndex) return;
    m_nFocusIndex = nHot;
    // The popup's object names its items by button index + 1.
    if (nHot >= 0) {
        ::NotifyWinEvent(EVENT_OBJECT_FOCUS, ::GetParent(m_hWnd), OBJID_CLIENT, nHot + 1);
    }
}

void CBmpMenuToolBar::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (!HandleKey(nChar, nRepCnt, nFlags)) Default();
}

BOOL CBmpMenuToolBar::HandleKey(UINT nChar, UINT nRepCnt, UINT nFlags) {
    CBmpMenu* pMenu = GetBmpMenu();
    switch (nChar) {
        case VK_ESCAPE:
            // The whole cascade closes, not only the current submenu.
            if (pMenu != nullptr) pMenu->CloseMenuChain();
            return TRUE;
        case VK_LEFT: {
            // Back to the parent menu; a top-level menu has none.
            const HWND hParent = pMenu != nullptr ? ::GetParent(pMenu->m_hWnd) : nullptr;
            CWnd* pParent = FromHandlePermanent(hParent);
            if (hParent != nullptr && ::IsWindow(hParent) && pParent != nullptr &&
                pParent->IsKindOf(RUNTIME_CLASS(CBmpMenu))) {
                static_cast<CBmpMenu*>(pParent)->CloseSubMenus();
                ::SendMessageA(hParent, BMM_REARM, 0, 0);
            }
            return TRUE;
        }
        case VK_RIGHT:
        case VK_RETURN: {
            // Right opens the hot item's submenu; Return also chooses a plain item.
            if (m_nHotCmd == -1) return TRUE;
            const int nIndex = CommandToIndex(static_cast<UINT>(m_nHotCmd));
            TBBUTTON button = {};
            if (nIndex < 0 || !GetButton(nIndex, button)) return TRUE;
            const MENUITEMINFOA* pRecord = RecordOf(button);
            if (pRecord != nullptr && (nChar == VK_RETURN || pRecord->hSubMenu != nullptr)) {
                ClickButton(nIndex, MK_LBUTTON | BMF_SELECTFIRST);
            }
            return TRUE;
        }
        default:
            OnChar(nChar, nRepCnt, nFlags);
            return FALSE;
    }
}

void CBmpMenuToolBar::OnChar(UINT nChar, UINT, UINT) {
    // Keys arrive as WM_KEYDOWN, so for letters the code compared is the upper-case
    // letter and for digits the digit.
    const int nKey =
        nChar <= 0xFF ? std::toupper(static_cast<unsigned char>(nChar)) : static_cast<int>(nChar);
    std::vector<int> matches;
    int nHot = -1;
    const int nHotItem = static_cast<int>(::SendMessageA(m_hWnd, TB_GETHOTITEM, 0, 0));
    const int nCount = static_cast<int>(::SendMessageA(m_hWnd, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < nCount; ++i) {
        TBBUTTON button = {};
        if (!GetButton(i, button) || RecordOf(button) == nullptr) continue;
        const char* pszText = RecordOf(button)->dwTypeData;
        const char* pszAmp = pszText != nullptr ? std::strchr(pszText, '&') : nullptr;
        // The character after the first ampersand, whatever it is.
        if (pszAmp != nullptr && std::toupper(static_cast<unsigned char>(pszAmp[1])) == nKey) {
            matches.push_back(i);
        }
        if (nHotItem == i) nHot = i;
    }

    CBmpMenu* pMenu = GetBmpMenu();
    if (matches.empty()) {
        if (pMenu == nullptr || pMenu->m_pOwner == nullptr) return;
        const LRESULT nAnswer =
            ::SendMessageA(pMenu->m_pOwner->m_hWnd, WM_MENUCHAR, MAKEWPARAM(nChar, MF_POPUP),
                           reinterpret_cast<LPARAM>(pMenu->m_hMenu));
        if (HIWORD(nAnswer) == MNC_CLOSE) {
            pMenu->CloseMenuChain();
        } else if (HIWORD(nAnswer) == MNC_EXECUTE) {
            ::SendMessageA(pMenu->m_pOwner->m_hWnd, WM_COMMAND, LOWORD(nAnswer), 0);
        }
    } else if (matches.size() == 1) {
        ::SendMessageA(m_hWnd, TB_SETHOTITEM, matches.front(), 0);
        ClickButton(matches.front(), MK_LBUTTON);
    } else {
        // Several matches: the next one after the hot item becomes hot, round the end.
        int nNext = matches.front();
        for (int nMatch : matches) {
            if (nMatch > nHot) {
                nNext = nMatch;
                break;
            }
        }
        ::SendMessageA(m_hWnd, TB_SETHOTITEM, nNext, 0);
    }
}

void CBmpMenuToolBar::ClickButton(int nIndex, WPARAM nFlags) {
    RECT rc = {};
    ::SendMessageA(m_hWnd, TB_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(&rc));
    // A click the keyboard makes is taken even on the item clicked last.
    m_nClickedIndex = -1;
    const LPARAM lPoint = PointParam(rc.left + 1, rc.top + 1);
    ::SendMessageA(m_hWnd, WM_LBUTTONDOWN, nFlags, lPoint);
    ::SendMessageA(m_hWnd, WM_LBUTTONUP, nFlags, lPoint);
}

void CBmpMenuToolBar::OnCustomDraw(NMHDR* pNotify, LRESULT* pResult) {
    if (pNotify == nullptr) return;
    NMTBCUSTOMDRAW& draw = *reinterpret_cast<NMTBCUSTOMDRAW*>(pNotify);
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            *pResult = CDRF_NOTIFYITEMDRAW;
            return;
        case CDDS_ITEMPREPAINT:
            DrawItem(draw);
            *pResult = CDRF_SKIPDEFAULT;
            return;
        default:
            *pResult = CDRF_DODEFAULT;
            return;
    }
}

void CBmpMenuToolBar::DrawItem(NMTBCUSTOMDRAW& draw) {
    static const MENUITEMINFOA kNoRecord = {};
    const MENUITEMINFOA* pRecord = reinterpret_cast<const MENUITEMINFOA*>(draw.nmcd.lItemlParam);
    const MENUITEMINFOA& record = pRecord != nullptr ? *pRecord : kNoRecord;
    const BOOL bHot = (draw.nmcd.uItemState & CDIS_HOT) != 0;
    CDC dc;
    dc.Attach(draw.nmcd.hdc);

    // The notification's text and hot-track colours serve as the item's text and
    // background colours.
    draw.clrText = ::GetSysColor(bHot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
    draw.clrHighlightHotTrack = ::GetSysColor(bHot ? COLOR_HIGHLIGHT : COLOR_MENU);

    const int nCmd = static_cast<int>(draw.nmcd.dwItemSpec);
    if (bHot && nCmd != m_nHotCmd) {
        ReportSelection(nCmd, record);
        m_nHotCmd = nCmd;
    }

    // Only MF_GRAYED draws grey; an item that is merely disabled looks like any other.
    const BOOL bGreyed = (record.fState & MF_GRAYED) != 0;
    if (bGreyed) draw.clrText = ::GetSysColor(COLOR_GRAYTEXT);
    // Also the colour of a monochrome check mark.
    dc.SetTextColor(::GetSysColor(bGreyed ? COLOR_GRAYTEXT : COLOR_MENUTEXT));

    RECT rc = draw.nmcd.rc;
    rc.left += 1;
    dc.FillSolidRect(rc, draw.clrHighlightHotTrack);

    RECT rcText = {rc.left + (rc.bottom - rc.top) + 2, rc.top, rc.right, rc.bottom};
    {
        CSelectObject selectFont(dc, m_font.GetSafeHandle());
        const RECT rcBox = {rc.left, rc.top, rc.left + (rc.bottom - rc.top), rc.bottom};
        if ((record.fState & MFS_CHECKED) != 0) {
            DrawItemBox(dc, rcBox, bHot, record.hbmpChecked, TRUE, bGreyed);
        } else if (record.hbmpUnchecked != nullptr) {
            DrawItemBox(dc, rcBox, bHot, record.hbmpUnchecked, FALSE, bGreyed);
        }
        DrawItemText(dc, rcText, record.dwTypeData, draw.clrText, bGreyed && !bHot);
    }
    if (record.hSubMenu != nullptr) DrawSubMenuArrow(dc, rcText, draw.clrText);
}

void CBmpMenuToolBar::ReportSelection(int nCmd, const MENUITEMINFOA& record) {
    CBmpMenu* pMenu = GetBmpMenu();
    if (pMenu == nullptr || pMenu->m_pOwner == nullptr) return;
    // An item with a submenu is named by its position, as the system's menus name it.
    UINT nItem = static_cast<UINT>(nCmd);
    UINT nItemFlags = record.fState;
    if (record.hSubMenu != nullptr) {
        nItem = static_cast<UINT>(CommandToIndex(static_cast<UINT>(nCmd)));
        nItemFlags = MF_POPUP;
    }
    ::SendMessageA(pMenu->m_pOwner->m_hWnd, WM_MENUSELECT, MAKEWPARAM(nItem, nItemFlags),
                   reinterpret_cast<LPARAM>(pMenu->m_hMenu));
}

BOOL CBmpMenuToolBar::DrawItemBox(CDC& dc, const RECT& rcBox, BOOL bHot, HBITMAP hBitmap,
                                  BOOL bChecked, BOOL bGreyed) {
    const bool bGiven = hBitmap != nullptr;
    CBitmap checkMark;
    if (!bGiven) {
        if (!checkMark.Attach(::LoadBitmapA(nullptr, MAKEINTRESOURCEA(OBM_CHECK)))) return FALSE;
        hBitmap = checkMark;
    }
    BITMAP bm = {};
    ::GetObjectA(hBitmap, sizeof(bm), &bm);
    const int nBoxWidth = rcBox.right - rcBox.left;
    const int nBoxHeight = rcBox.bottom - rcBox.top;
    int x = rcBox.left;
    int y = rcBox.top;
    int cx = nBoxWidth;
    int cy = nBoxHeight;
    int xSrc = (bm.bmWidth - nBoxWidth) / 2;
    int ySrc = (bm.bmHeight - nBoxHeight) / 2;
    if (nBoxWidth > bm.bmWidth) {
        // A smaller picture stands centred in the box.
        x = rcBox.left + (nBoxWidth - bm.bmWidth) / 2;
        y = rcBox.top + (nBoxHeight - bm.bmHeight) / 2;
        cx = bm.bmWidth;
        cy = bm.bmHeight;
        xSrc = 0;
        ySrc = 0;
    }
    if (bGiven && bChecked) dc.FillSolidRect(rcBox, ::GetSysColor(COLOR_MENU));

    CDC memDC;
    memDC.CreateCompatibleDC(&dc);
    CBitmap copy;
    HBITMAP hPicture = hBitmap;
    if (bGiven) {
        copy.Attach(MakeMenuColorBitmap(dc, hBitmap, bGreyed, bHot));
        hPicture = copy;
    }
    if (hPicture != nullptr) {
        // A monochrome picture takes the text colour for black and this for white.
        CSelectObject selectPicture(memDC, hPicture);
        const COLORREF crOldBk =
            dc.SetBkColor(::GetSysColor(bHot && !bGreyed ? COLOR_HIGHLIGHT : COLOR_MENU));
        dc.BitBlt(x, y, cx, cy, &memDC, xSrc, ySrc, SRCCOPY);
        dc.SetBkColor(crOldBk);
    }

    if (bChecked) DrawCheckedFrame(dc, rcBox, bHot, bGiven);
    return TRUE;
}

HBITMAP CBmpMenuToolBar::MakeMenuColorBitmap(CDC& dc, HBITMAP hBitmap, BOOL bGreyed, BOOL bHot) {
    const COLORREF kFrom[4] = {RGB(0, 0, 0), RGB(128, 128, 128), RGB(192, 192, 192),
                               RGB(255, 255, 255)};
    const COLORREF crTo[4] = {::GetSysColor(COLOR_BTNTEXT), ::GetSysColor(COLOR_BTNSHADOW),
                              ::GetSysColor(bHot && !bGreyed ? COLOR_HIGHLIGHT : COLOR_MENU),
                              ::GetSysColor(COLOR_BTNHIGHLIGHT)};
    BITMAP bm = {};
    ::GetObjectA(hBitmap, sizeof(bm), &bm);
    CBitmap copy;
    if (!copy.CreateBitmap(bm.bmWidth, bm.bmHeight, bGreyed ? 1 : bm.bmPlanes,
                           bGreyed ? 1 : bm.bmBitsPixel, nullptr)) {
        return nullptr;
    }
    // A colour copy of a 32-bit bitmap goes through one block of pixels: one read and one
    // write of the whole bitmap give the same pixels as a read and a write per pixel, in
    // a fraction of the time.
    if (!bGreyed && bm.bmPlanes == 1 && bm.bmBitsPixel == 32 &&
        MapColorBits(dc, hBitmap, copy, bm.bmWidth, bm.bmHeight, kFrom, crTo)) {
        return static_cast<HBITMAP>(copy.Detach());
    }
    // Other formats, and the greyed copy, where the platform decides how each written
    // colour becomes black or white, go pixel by pixel.
    CDC source;
    CDC target;
    source.CreateCompatibleDC(&dc);
    target.CreateCompatibleDC(&dc);
    CSelectObject selectSource(source, hBitmap);
    {
        CSelectObject selectTarget(target, copy);
        for (int x = 0; x < bm.bmWidth; ++x) {
            for (int y = 0; y < bm.bmHeight; ++y) {
                const COLORREF crPixel = source.GetPixel(x, y);
                COLORREF crOut = crPixel;
                for (int i = 0; i < 4 && !bGreyed; ++i) {
                    if (crPixel == kFrom[i]) {
                        crOut = crTo[i];
                        break;
                    }
                }
                target.SetPixel(x, y, crOut);
            }
        }
    }
    return static_cast<HBITMAP>(copy.Detach());
}

BOOL CBmpMenuToolBar::MapColorBits(CDC& dc, HBITMAP hSource, HBITMAP hTarget, int nWidth,
                                   int nHeight, const COLORREF* pFrom, const COLORREF* pTo) {
    if (nWidth <= 0 || nHeight <= 0) return TRUE;
    BITMAPINFO bmi = TopDownInfo32(nWidth, nHeight);
    std::vector<DWORD> pixels(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight));
    if (::GetDIBits(dc.GetSafeHdc(), hSource, 0, static_cast<UINT>(nHeight), pixels.data(), &bmi,
                    DIB_RGB_COLORS) != nHeight) {
        return FALSE;
    }
    DWORD from[4];
    DWORD to[4];
    for (int i = 0; i < 4; ++i) {
        from[i] = PixelOf(pFrom[i]);
        to[i] = PixelOf(pTo[i]);
    }
    for (DWORD& pixel : pixels) {
        // A pixel written by colour carries no alpha byte.
        pixel &= 0x00FFFFFF;
        for (int i = 0; i < 4; ++i) {
            if (pixel == from[i]) {
                pixel = to[i];
                break;
            }
        }
    }
    return ::SetDIBits(dc.GetSafeHdc(), hTarget, 0, static_cast<UINT>(nHeight), pixels.data(), &bmi,
                       DIB_RGB_COLORS) == nHeight;
}

bool CBmpMenuToolBar::IsUnusable(const MENUITEMINFOA* pRecord) {
    // The platform defines both names as the two bits MF_GRAYED | MF_DISABLED.
    return pRecord != nullptr && (pRecord->fState & (MFS_GRAYED | MFS_DISABLED)) != 0;
}

CBmpMenu* CBmpMenuToolBar::GetBmpMenu() const {
    CWnd* pParent = FromHandlePermanent(::GetParent(m_hWnd));
    if (pParent == nullptr || !pParent->IsKindOf(RUNTIME_CLASS(CBmpMenu))) return nullptr;
    return static_cast<CBmpMenu*>(pParent);
}

int CBmpMenuToolBar::HitTest(POINT point) const {
    return static_cast<int>(
        ::SendMessageA(m_hWnd, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&point)));
}

bool CBmpMenuToolBar::GetButton(int nIndex, TBBUTTON& button) const {
    return ::SendMessageA(m_hWnd, TB_GETBUTTON, nIndex, reinterpret_cast<LPARAM>(&button)) != 0;
}
