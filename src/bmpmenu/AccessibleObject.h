// What assistive technology reads of the library's own windows: a hand-made
// IAccessible with its IUnknown and IDispatch. Screen readers reach such an object
// through WM_GETOBJECT and may hold it long after the window went away, so the
// objects derived from this one refer to their window only weakly and copy what
// they answer. This base counts references, answers the questions no derived
// object supports (DISP_E_MEMBERNOTFOUND) and has no type information: clients
// use the interface's own methods.
#pragma once

#include <windows.h>
// oleacc.h needs windows.h first.
#include <oleacc.h>

#include <atomic>

class CAccessibleObject : public IAccessible {
  public:
    // One reference, the creator's.
    CAccessibleObject();
    CAccessibleObject(const CAccessibleObject&) = delete;
    CAccessibleObject& operator=(const CAccessibleObject&) = delete;

    // Hands out the object as IUnknown, IDispatch or IAccessible.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    // Takes one more reference.
    ULONG STDMETHODCALLTYPE AddRef() override;
    // Lets go of a reference; the last one deletes the object.
    ULONG STDMETHODCALLTYPE Release() override;

    // No type information: 0.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    // No type information: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    // No late binding: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    // No late binding: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IAccessible. Every question a derived object does not answer is one it does not
    // support (DISP_E_MEMBERNOTFOUND). The object above this one:
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override;
    // How many children the object has (none here).
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* pcountChildren) override;
    // The object of a child; children here are simple elements.
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT varChild, IDispatch** ppdispChild) override;
    // The name of the object or a child.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
    // The value; nothing here has one.
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT varChild, BSTR* pszValue) override;
    // The description; nothing here has one.
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT varChild, BSTR* pszDescription) override;
    // The role of the object or a child.
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
    // The state bits of the object or a child.
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override;
    // The help text; nothing here has one.
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT varChild, BSTR* pszHelp) override;
    // The help topic; nothing here has one.
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* pszHelpFile, VARIANT varChild,
                                               long* pidTopic) override;
    // The key that reaches the object or a child.
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT varChild,
                                                      BSTR* pszKeyboardShortcut) override;
    // The child that has the focus.
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* pvarChild) override;
    // The selected children; nothing here is selected that way.
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* pvarChildren) override;
    // What the default action of a child does, in words.
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT varChild,
                                                   BSTR* pszDefaultAction) override;
    // Selects or focuses a child; not offered here.
    HRESULT STDMETHODCALLTYPE accSelect(long flagsSelect, VARIANT varChild) override;
    // Where the object or a child is on the screen.
    HRESULT STDMETHODCALLTYPE accLocation(long* pxLeft, long* pyTop, long* pcxWidth,
                                          long* pcyHeight, VARIANT varChild) override;
    // The child next to another in a direction.
    HRESULT STDMETHODCALLTYPE accNavigate(long navDir, VARIANT varStart,
                                          VARIANT* pvarEndUpAt) override;
    // The object or child at a point of the screen.
    HRESULT STDMETHODCALLTYPE accHitTest(long xLeft, long yTop, VARIANT* pvarChild) override;
    // Carries out the default action of a child.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT varChild) override;
    // Names cannot be set: DISP_E_MEMBERNOTFOUND.
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT varChild, BSTR szName) override;
    // Values cannot be set: DISP_E_MEMBERNOTFOUND.
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT varChild, BSTR szValue) override;

    // A new BSTR of an ANSI text of the system code page; S_FALSE and null for a null or
    // empty text.
    static HRESULT AnsiToBstr(const char* pszText, BSTR* pbstr);
    // The standard object of a window (OBJID_WINDOW), the parent of its client object.
    static HRESULT WindowObject(HWND hWnd, IDispatch** ppdisp);
    // Fills a VARIANT with a 32-bit number.
    static void SetI4(VARIANT* pvar, LONG nValue);
    // Empties an out parameter before it is answered; false when the caller gave none.
    static bool ClearOut(BSTR* pbstr);
    static bool ClearOut(VARIANT* pvar);
    static bool ClearOut(IDispatch** ppdisp);
    // Empties the four out parameters of a location; false when one of them is missing.
    static bool ClearLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight);
    // Writes a screen rectangle as a location: left, top, width and height.
    static void SetLocation(const RECT& rc, long* pxLeft, long* pyTop, long* pcxWidth,
                            long* pcyHeight);
    // The answer to a question the object does not support, its out parameter emptied.
    template <typename Out>
    static HRESULT NotSupported(Out* pOut) {
        ClearOut(pOut);
        return DISP_E_MEMBERNOTFOUND;
    }

  protected:
    // Only Release deletes.
    virtual ~CAccessibleObject();

  private:
    std::atomic<ULONG> m_nRefs;  // references held; the object goes with the last
};

// An object of one role whose name is a text, standing in a window's place (an alert over
// the window that shows it). It keeps a copy of the text and the window only by handle, so
// it may be held after the window went away; it has no children.
class CNamedAccessible : public CAccessibleObject {
  public:
    // An object of the role named pszName (copied) in the place of hWnd.
    CNamedAccessible(HWND hWnd, LONG nRole, const char* pszName);

    // The object of the window whose place it takes.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override;
    // The text.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
    // The role it was made with.
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
    // Invisible while the window is hidden.
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override;
    // The window's place on the screen.
    HRESULT STDMETHODCALLTYPE accLocation(long* pxLeft, long* pyTop, long* pcxWidth,
                                          long* pcyHeight, VARIANT varChild) override;

  protected:
    // Frees the copy of the name.
    ~CNamedAccessible() override;

  private:
    HWND m_hWnd;      // the window whose place the object takes; may be gone
    LONG m_nRole;     // the role
    BSTR m_bstrName;  // the name; null when there is none or it could not be copied
};
