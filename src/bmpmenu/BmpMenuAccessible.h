// What a screen reader reads of a bitmap menu: the popup as a menu popup whose
// children are its items (child id = button index + 1), each a menu item or a
// separator with its name, mnemonic, state, place and default action. The banner
// is not an item. The object knows its popup only by window handle: every
// question is put to the popup window on the popup's own thread, so nothing is
// read while the menu changes or after it went away; once the popup is gone every
// question is answered CO_E_OBJNOTCONNECTED.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "bmpmenu/AccessibleObject.h"

class CBmpMenu;

// Private message of the menu windows: a question of the popup's accessible object,
// wParam the object, lParam the question. Nonzero when the popup's own object answered.
constexpr UINT BMM_ACCCALL = 0x468;

class CBmpMenuAccessible : public CAccessibleObject {
  public:
    // The object of the popup window hPopup.
    explicit CBmpMenuAccessible(HWND hPopup);

    // The popup is going: from now on nothing reaches it.
    void Disconnect();
    // Answers a question (the lParam of BMM_ACCCALL) with the menu, on the popup's thread.
    static LRESULT Answer(CBmpMenu& menu, LPARAM lParam);

    // The popup window's own object.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override;
    // How many items the popup has, separators included.
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* pcountChildren) override;
    // E_INVALIDARG for the popup, S_FALSE for an item: items have no objects of their own.
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT varChild, IDispatch** ppdispChild) override;
    // An item's text without its ampersands; the popup and separators have none.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
    // Menu popup, menu item or separator.
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
    // Focused and hot-tracked, checked, unavailable, has-popup; invisible popup.
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override;
    // An item's mnemonic letter.
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT varChild,
                                                      BSTR* pszKeyboardShortcut) override;
    // The hot item, else the popup when it has the keyboard focus.
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* pvarChild) override;
    // "Open" for an item with a submenu, "Execute" for other usable items.
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT varChild,
                                                   BSTR* pszDefaultAction) override;
    // An item on the screen, or the popup's client area.
    HRESULT STDMETHODCALLTYPE accLocation(long* pxLeft, long* pyTop, long* pcxWidth,
                                          long* pcyHeight, VARIANT varChild) override;
    // The first or last item, or the item above or below another.
    HRESULT STDMETHODCALLTYPE accNavigate(long navDir, VARIANT varStart,
                                          VARIANT* pvarEndUpAt) override;
    // The item at a point, or the popup itself.
    HRESULT STDMETHODCALLTYPE accHitTest(long xLeft, long yTop, VARIANT* pvarChild) override;
    // Chooses a usable item as a click on it does.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT varChild) override;

    // An item's name: its text without the ampersands that mark mnemonics ("&&" is one "&").
    static std::string NameOf(const char* pszText);
    // An item's mnemonic: the character after the first ampersand, the one its key matches;
    // 0 when there is none that can be typed.
    static char MnemonicOf(const char* pszText);

  private:
    // Puts a question, HRESULT (CBmpMenu&), to the popup, which answers it on its own thread;
    // CO_E_OBJNOTCONNECTED when the popup is gone.
    template <typename Question>
    HRESULT Ask(Question& question) const;
    // Asks about one child, HRESULT (CBmpMenu&, index): the popup itself (index -1) or an
    // item (its button index). E_INVALIDARG for any other child id.
    template <typename Question>
    HRESULT AskChild(const VARIANT& varChild, Question& question) const;

    std::atomic<HWND> m_hPopup;  // the popup window; null once it went away
};
