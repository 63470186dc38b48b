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
    CAccessibleObject();
    CAccessibleObject(const CAccessibleObject&) = delete;
    CAccessibleObject& operator=(const CAccessibleObject&) = delete;

    // IUnknown: the object is IUnknown, IDispatch and IAccessible.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch without type information: clients call the vtable.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IAccessible: every question the derived object does not answer is one it does not
    // support.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* pcountChildren) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT varChild, IDispatch** ppdispChild) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT varChild, BSTR* pszValue) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT varChild, BSTR* pszDescription) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT varChild, BSTR* pszHelp) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* pszHelpFile, VARIANT varChild,
                                               long* pidTopic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT varChild,
                                                      BSTR* pszKeyboardShortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* pvarChild) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* pvarChildren) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT varChild,
                                                   BSTR* pszDefaultAction) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flagsSelect, VARIANT varChild) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* pxLeft, long* pyTop, long* pcxWidth,
                                          long* pcyHeight, VARIANT varChild) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long navDir, VARIANT varStart,
                                          VARIANT* pvarEndUpAt) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long xLeft, long yTop, VARIANT* pvarChild) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT varChild) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT varChild, BSTR szName) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT varChild, BSTR szValue) override;

    // A new BSTR of an ANSI text of the system code page; S_FALSE and null for a null or
    // empty text.
    static HRESULT AnsiToBstr(const char* pszText, BSTR* pbstr);
    // The standard object of a window (OBJID_WINDOW), the parent of its client object.
    static HRESULT WindowObject(HWND hWnd, IDispatch** ppdisp);
    // Fills a VARIANT with a 32-bit number.
    static void SetI4(VARIANT* pvar, LONG nValue);

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
    CNamedAccessible(HWND hWnd, LONG nRole, const char* pszName);

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override;
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
