#include "bmpmenu/BmpMenuAccessible.h"

// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstring>

#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"

namespace {

// The window class of the popups, which alone answer BMM_ACCCALL.
constexpr char kPopupClass[] = "BitmapMenu";

// A question on its way to the popup's thread: the call that answers it, and the answer.
struct CQuestion {
    HRESULT (*pfnAnswer)(void* pQuestion, CBmpMenu& menu);  // calls the question's function
    void* pQuestion;                                        // the question's function
    HRESULT hr;                                             // the answer
};

// What an item is, read on the popup's thread.
struct CItem {
    bool bSeparator;      // a separator, not an entry
    bool bUnavailable;    // greyed or disabled
    bool bChecked;        // checked
    bool bSubMenu;        // opens a submenu
    const char* pszText;  // the text with its ampersands; null for none
    RECT rcStrip;         // the button, in the strip's client coordinates
    RECT rcScreen;        // the button on the screen
};

HWND StripOf(const CBmpMenu& menu) {
    return menu.m_pToolBar != nullptr ? menu.m_pToolBar->m_hWnd : nullptr;
}

int ItemCount(const CBmpMenu& menu) {
    const HWND hStrip = StripOf(menu);
    return hStrip != nullptr ? static_cast<int>(::SendMessageA(hStrip, TB_BUTTONCOUNT, 0, 0)) : 0;
}

int HotItem(const CBmpMenu& menu) {
    const HWND hStrip = StripOf(menu);
    return hStrip != nullptr ? static_cast<int>(::SendMessageA(hStrip, TB_GETHOTITEM, 0, 0)) : -1;
}

// Reads the item at a button index; false when there is none.
bool ReadItem(const CBmpMenu& menu, int nIndex, CItem& item) {
    const HWND hStrip = StripOf(menu);
    TBBUTTON button = {};
    if (hStrip == nullptr ||
        !::SendMessageA(hStrip, TB_GETBUTTON, nIndex, reinterpret_cast<LPARAM>(&button))) {
        return false;
    }
    const auto* pRecord = reinterpret_cast<const MENUITEMINFOA*>(button.dwData);
    item.bSeparator = pRecord != nullptr ? (pRecord->fType & MFT_SEPARATOR) != 0
                                         : (button.fsStyle & BTNS_SEP) != 0;
    item.bUnavailable = CBmpMenuToolBar::IsUnusable(pRecord);
    item.bChecked = pRecord != nullptr && (pRecord->fState & MFS_CHECKED) != 0;
    item.bSubMenu = pRecord != nullptr && pRecord->hSubMenu != nullptr;
    item.pszText = pRecord != nullptr ? pRecord->dwTypeData : nullptr;
    item.rcStrip = {};
    ::SendMessageA(hStrip, TB_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(&item.rcStrip));
    item.rcScreen = item.rcStrip;
    ::MapWindowPoints(hStrip, nullptr, reinterpret_cast<POINT*>(&item.rcScreen), 2);
    return true;
}

// The popup's client area on the screen.
RECT ClientOnScreen(HWND hWnd) {
    RECT rc = {};
    ::GetClientRect(hWnd, &rc);
    ::MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// An entry the user can choose: neither a separator nor unavailable.
bool IsChoosable(const CItem& item) { return !item.bSeparator && !item.bUnavailable; }

HRESULT WideToBstr(const WCHAR* pszText, BSTR* pbstr) {
    *pbstr = ::SysAllocString(pszText);
    return *pbstr != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

CBmpMenuAccessible::CBmpMenuAccessible(HWND hPopup) : m_hPopup(hPopup) {}

void CBmpMenuAccessible::Disconnect() { m_hPopup = nullptr; }

LRESULT CBmpMenuAccessible::Answer(CBmpMenu& menu, LPARAM lParam) {
    auto* pQuestion = reinterpret_cast<CQuestion*>(lParam);
    if (pQuestion == nullptr) return 0;
    try {
        pQuestion->hr = pQuestion->pfnAnswer(pQuestion->pQuestion, menu);
    } catch (...) {
        pQuestion->hr = E_FAIL;
    }
    return 1;
}

template <typename Question>
HRESULT CBmpMenuAccessible::Ask(Question& question) const {
    const HWND hPopup = m_hPopup.load();
    // A handle that was given to another window since is not asked.
    char szClass[sizeof(kPopupClass) + 1] = {};
    if (hPopup == nullptr || ::GetClassNameA(hPopup, szClass, sizeof(szClass)) == 0 ||
        lstrcmpA(szClass, kPopupClass) != 0) {
        return CO_E_OBJNOTCONNECTED;
    }
    CQuestion call = {[](void* p, CBmpMenu& menu) { return (*static_cast<Question*>(p))(menu); },
                      &question, E_FAIL};
    // Sent, not posted: the popup answers on its thread while this one waits, and a popup that
    // went away (or a menu that is not this object's) does not answer at all.
    if (::SendMessageA(hPopup, BMM_ACCCALL,
                       reinterpret_cast<WPARAM>(static_cast<const CBmpMenuAccessible*>(this)),
                       reinterpret_cast<LPARAM>(&call)) == 0) {
        return CO_E_OBJNOTCONNECTED;
    }
    return call.hr;
}

template <typename Question>
HRESULT CBmpMenuAccessible::AskChild(const VARIANT& varChild, Question& question) const {
    if (varChild.vt != VT_I4) return E_INVALIDARG;
    const LONG nChild = varChild.lVal;
    auto child = [&](CBmpMenu& menu) -> HRESULT {
        if (nChild == CHILDID_SELF) return question(menu, -1);
        if (nChild < 1 || nChild > ItemCount(menu)) return E_INVALIDARG;
        return question(menu, static_cast<int>(nChild - 1));
    };
    return Ask(child);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::get_accParent(IDispatch** ppdispParent) {
    return WindowObject(m_hPopup.load(), ppdispParent);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::get_accChildCount(long* pcountChildren) {
    if (pcountChildren == nullptr) return E_POINTER;
    *pcountChildren = 0;
    auto count = [&](CBmpMenu& menu) {
        *pcountChildren = ItemCount(menu);
        return S_OK;
    };
    return Ask(count);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::get_accChild(VARIANT varChild,
                                                           IDispatch** ppdispChild) {
    if (!ClearOut(ppdispChild)) return E_POINTER;
    // The items are simple elements of the popup's object, without objects of their own.
    auto child = [](CBmpMenu&, int nIndex) { return nIndex < 0 ? E_INVALIDARG : S_FALSE; };
    return AskChild(varChild, child);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::get_accName(VARIANT varChild, BSTR* pszName) {
    if (!ClearOut(pszName)) return E_POINTER;
    auto name = [&](CBmpMenu& menu, int nIndex) -> HRESULT {
        CItem item = {};
        if (nIndex < 0 || !ReadItem(menu, nIndex, item) || item.bSeparator) return S_FALSE;
        return AnsiToBstr(NameOf(item.pszText).c_str(), pszName);
    };
    return AskChild(varChild, name);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::get_accRole(VARIANT varChild, VARIANT* pvarRole) {
    if (!ClearOut(pvarRole)) return E_POINTER;
    auto role = [&](CBmpMenu& menu, int nIndex) -> HRESULT {
        CItem item = {};
        if (nIndex < 0) {
            SetI4(pvarRole, ROLE_SYSTEM_MENUPOPUP);
        } else if (ReadItem(menu, nIndex, item)) {
            SetI4(pvarRole, item.bSeparator ? ROLE_SYSTEM_SEPARATOR : ROLE_SYSTEM_MENUITEM);
        } else {
            return E_INVALIDARG;
        }
        return S_OK;
    };
    return AskChild(varChild, role);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::get_accState(VARIANT varChild, VARIANT* pvarState) {
    if (!ClearOut(pvarState)) return E_POINTER;
    auto state = [&](CBmpMenu& menu, int nIndex) -> HRESULT {
        if (nIndex < 0) {
            SetI4(pvarState, ::IsWindowVisible(menu.m_hWnd) ? 0 : STATE_SYSTEM_INVISIBLE);
            return S_OK;
        }
        CItem item = {};
        if (!ReadItem(menu, nIndex, item)) return E_INVALIDARG;
        LONG nState = 0;
        if (!item.bSeparator) {
            nState |= item.bUnavailable ? STATE_SYSTEM_UNAVAILABLE : STATE_SYSTEM_FOCUSABLE;
            if (nIndex == HotItem(menu)) nState |= STATE_SYSTEM_FOCUSED | STATE_SYSTEM_HOTTRACKED;
            if (item.bChecked) nState |= STATE_SYSTEM_CHECKED;
            if (item.bSubMenu) nState |= STATE_SYSTEM_HASPOPUP;
        }
        SetI4(pvarState, nState);
        return S_OK;
    };
    return AskChild(varChild, state);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::get_accKeyboardShortcut(VARIANT varChild,
                                                                      BSTR* pszKeyboardShortcut) {
    if (!ClearOut(pszKeyboardShortcut)) return E_POINTER;
    auto shortcut = [&](CBmpMenu& menu, int nIndex) -> HRESULT {
        CItem item = {};
        if (nIndex < 0 || !ReadItem(menu, nIndex, item) || item.bSeparator) return S_FALSE;
        const char szKey[2] = {MnemonicOf(item.pszText), '\0'};
        return AnsiToBstr(szKey, pszKeyboardShortcut);
    };
    return AskChild(varChild, shortcut);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::get_accFocus(VARIANT* pvarChild) {
    if (!ClearOut(pvarChild)) return E_POINTER;
    auto focus = [&](CBmpMenu& menu) -> HRESULT {
        const int nHot = HotItem(menu);
        if (nHot >= 0) {
            SetI4(pvarChild, nHot + 1);
        } else if (::GetFocus() == menu.m_hWnd) {
            SetI4(pvarChild, CHILDID_SELF);
        } else {
            return S_FALSE;
        }
        return S_OK;
    };
    return Ask(focus);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::get_accDefaultAction(VARIANT varChild,
                                                                   BSTR* pszDefaultAction) {
    if (!ClearOut(pszDefaultAction)) return E_POINTER;
    auto action = [&](CBmpMenu& menu, int nIndex) -> HRESULT {
        if (nIndex < 0) return DISP_E_MEMBERNOTFOUND;
        CItem item = {};
        if (!ReadItem(menu, nIndex, item) || !IsChoosable(item)) return S_FALSE;
        return WideToBstr(item.bSubMenu ? L"Open" : L"Execute", pszDefaultAction);
    };
    return AskChild(varChild, action);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::accLocation(long* pxLeft, long* pyTop, long* pcxWidth,
                                                          long* pcyHeight, VARIANT varChild) {
    if (!ClearLocation(pxLeft, pyTop, pcxWidth, pcyHeight)) return E_POINTER;
    auto location = [&](CBmpMenu& menu, int nIndex) -> HRESULT {
        CItem item = {};
        if (nIndex < 0) {
            item.rcScreen = ClientOnScreen(menu.m_hWnd);
        } else if (!ReadItem(menu, nIndex, item)) {
            return E_INVALIDARG;
        }
        SetLocation(item.rcScreen, pxLeft, pyTop, pcxWidth, pcyHeight);
        return S_OK;
    };
    return AskChild(varChild, location);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::accNavigate(long navDir, VARIANT varStart,
                                                          VARIANT* pvarEndUpAt) {
    if (!ClearOut(pvarEndUpAt)) return E_POINTER;
    auto navigate = [&](CBmpMenu& menu, int nIndex) -> HRESULT {
        const int nCount = ItemCount(menu);
        int nTarget = -1;
        switch (navDir) {
            case NAVDIR_FIRSTCHILD:
            case NAVDIR_LASTCHILD:
                if (nIndex >= 0) return E_INVALIDARG;
                nTarget = navDir == NAVDIR_FIRSTCHILD ? 0 : nCount - 1;
                break;
            case NAVDIR_NEXT:
            case NAVDIR_DOWN:
                if (nIndex >= 0) nTarget = nIndex + 1;
                break;
            case NAVDIR_PREVIOUS:
            case NAVDIR_UP:
                if (nIndex >= 0) nTarget = nIndex - 1;
                break;
            default:
                break;
        }
        // The items stand in one column; nothing lies beside them or beside the popup here.
        if (nTarget < 0 || nTarget >= nCount) return S_FALSE;
        SetI4(pvarEndUpAt, nTarget + 1);
        return S_OK;
    };
    return AskChild(varStart, navigate);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::accHitTest(long xLeft, long yTop,
                                                         VARIANT* pvarChild) {
    if (!ClearOut(pvarChild)) return E_POINTER;
    auto hit = [&](CBmpMenu& menu) -> HRESULT {
        const POINT pt = {xLeft, yTop};
        const int nCount = ItemCount(menu);
        for (int i = 0; i < nCount; ++i) {
            CItem item = {};
            if (ReadItem(menu, i, item) && ::PtInRect(&item.rcScreen, pt)) {
                SetI4(pvarChild, i + 1);
                return S_OK;
            }
        }
        const RECT rcClient = ClientOnScreen(menu.m_hWnd);
        if (!::PtInRect(&rcClient, pt)) return S_FALSE;
        SetI4(pvarChild, CHILDID_SELF);
        return S_OK;
    };
    return Ask(hit);
}

HRESULT STDMETHODCALLTYPE CBmpMenuAccessible::accDoDefaultAction(VARIANT varChild) {
    auto choose = [](CBmpMenu& menu, int nIndex) -> HRESULT {
        if (nIndex < 0) return DISP_E_MEMBERNOTFOUND;
        CItem item = {};
        if (!ReadItem(menu, nIndex, item) || !IsChoosable(item)) return DISP_E_MEMBERNOTFOUND;
        // A press and a release on the item, as the mouse makes them: the strip takes the
        // click as it takes any, and the command or the submenu follows from its queue.
        const LPARAM lPoint = MAKELPARAM(item.rcStrip.left + 1, item.rcStrip.top + 1);
        ::SendMessageA(StripOf(menu), WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
        ::SendMessageA(StripOf(menu), WM_LBUTTONUP, MK_LBUTTON, lPoint);
        return S_OK;
    };
    return AskChild(varChild, choose);
}

std::string CBmpMenuAccessible::NameOf(const char* pszText) {
    std::string name;
    for (const char* p = pszText != nullptr ? pszText : ""; *p != '\0'; ++p) {
        if (*p == '&') {
            ++p;
            if (*p == '\0') break;
        }
        name += *p;
    }
    return name;
}

char CBmpMenuAccessible::MnemonicOf(const char* pszText) {
    const char* pszAmp = pszText != nullptr ? std::strchr(pszText, '&') : nullptr;
    if (pszAmp == nullptr) return '\0';
    const char cKey = pszAmp[1];
    // "&&" shows an ampersand, and no key types one; a blank is no mnemonic either.
    return cKey == '&' || static_cast<unsigned char>(cKey) <= ' ' ? '\0' : cKey;
}
