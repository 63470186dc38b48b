#include "bmpmenu/AccessibleObject.h"

#include <initializer_list>

CAccessibleObject::CAccessibleObject() : m_nRefs(1) {}

CAccessibleObject::~CAccessibleObject() = default;

HRESULT STDMETHODCALLTYPE CAccessibleObject::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IAccessible)) {
        *ppv = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CAccessibleObject::AddRef() { return ++m_nRefs; }

ULONG STDMETHODCALLTYPE CAccessibleObject::Release() {
    const ULONG nRefs = --m_nRefs;
    if (nRefs == 0) delete this;
    return nRefs;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo == nullptr) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo != nullptr) *ppTInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*,
                                                    VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accParent(IDispatch** ppdispParent) {
    return NotSupported(ppdispParent);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accChildCount(long* pcountChildren) {
    if (pcountChildren == nullptr) return E_POINTER;
    *pcountChildren = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accChild(VARIANT, IDispatch** ppdispChild) {
    if (ppdispChild != nullptr) *ppdispChild = nullptr;
    return E_INVALIDARG;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accName(VARIANT, BSTR* pszName) {
    return NotSupported(pszName);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accValue(VARIANT, BSTR* pszValue) {
    return NotSupported(pszValue);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accDescription(VARIANT, BSTR* pszDescription) {
    return NotSupported(pszDescription);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accRole(VARIANT, VARIANT* pvarRole) {
    return NotSupported(pvarRole);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accState(VARIANT, VARIANT* pvarState) {
    return NotSupported(pvarState);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accHelp(VARIANT, BSTR* pszHelp) {
    return NotSupported(pszHelp);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accHelpTopic(BSTR* pszHelpFile, VARIANT,
                                                              long* pidTopic) {
    if (pszHelpFile != nullptr) *pszHelpFile = nullptr;
    if (pidTopic != nullptr) *pidTopic = 0;
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accKeyboardShortcut(VARIANT,
                                                                     BSTR* pszKeyboardShortcut) {
    return NotSupported(pszKeyboardShortcut);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accFocus(VARIANT* pvarChild) {
    return NotSupported(pvarChild);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accSelection(VARIANT* pvarChildren) {
    return NotSupported(pvarChildren);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::get_accDefaultAction(VARIANT, BSTR* pszDefaultAction) {
    return NotSupported(pszDefaultAction);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::accSelect(long, VARIANT) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::accLocation(long* pxLeft, long* pyTop, long* pcxWidth,
                                                         long* pcyHeight, VARIANT) {
    for (long* p : {pxLeft, pyTop, pcxWidth, pcyHeight}) {
        if (p != nullptr) *p = 0;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::accNavigate(long, VARIANT, VARIANT* pvarEndUpAt) {
    return NotSupported(pvarEndUpAt);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::accHitTest(long, long, VARIANT* pvarChild) {
    return NotSupported(pvarChild);
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::accDoDefaultAction(VARIANT) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::put_accName(VARIANT, BSTR) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE CAccessibleObject::put_accValue(VARIANT, BSTR) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT CAccessibleObject::AnsiToBstr(const char* pszText, BSTR* pbstr) {
    if (pbstr == nullptr) return E_POINTER;
    *pbstr = nullptr;
    if (pszText == nullptr || pszText[0] == '\0') return S_FALSE;
    const int nChars = ::MultiByteToWideChar(CP_ACP, 0, pszText, -1, nullptr, 0);
    if (nChars <= 1) return S_FALSE;
    // The string's own block takes the converted characters; it ends with its terminator.
    BSTR bstr = ::SysAllocStringLen(nullptr, static_cast<UINT>(nChars - 1));
    if (bstr == nullptr) return E_OUTOFMEMORY;
    ::MultiByteToWideChar(CP_ACP, 0, pszText, -1, bstr, nChars);
    *pbstr = bstr;
    return S_OK;
}

HRESULT CAccessibleObject::WindowObject(HWND hWnd, IDispatch** ppdisp) {
    if (ppdisp == nullptr) return E_POINTER;
    *ppdisp = nullptr;
    if (hWnd == nullptr || !::IsWindow(hWnd)) return CO_E_OBJNOTCONNECTED;
    return ::CreateStdAccessibleObject(hWnd, OBJID_WINDOW, IID_IDispatch,
                                       reinterpret_cast<void**>(ppdisp));
}

bool CAccessibleObject::ClearOut(BSTR* pbstr) {
    if (pbstr == nullptr) return false;
    *pbstr = nullptr;
    return true;
}

bool CAccessibleObject::ClearOut(VARIANT* pvar) {
    if (pvar == nullptr) return false;
    VariantInit(pvar);
    return true;
}

bool CAccessibleObject::ClearOut(IDispatch** ppdisp) {
    if (ppdisp == nullptr) return false;
    *ppdisp = nullptr;
    return true;
}

bool CAccessibleObject::ClearLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight) {
    if (pxLeft == nullptr || pyTop == nullptr || pcxWidth == nullptr || pcyHeight == nullptr) {
        return false;
    }
    *pxLeft = *pyTop = *pcxWidth = *pcyHeight = 0;
    return true;
}

void CAccessibleObject::SetLocation(const RECT& rc, long* pxLeft, long* pyTop, long* pcxWidth,
                                    long* pcyHeight) {
    *pxLeft = rc.left;
    *pyTop = rc.top;
    *pcxWidth = rc.right - rc.left;
    *pcyHeight = rc.bottom - rc.top;
}

void CAccessibleObject::SetI4(VARIANT* pvar, LONG nValue) {
    VariantInit(pvar);
    pvar->vt = VT_I4;
    pvar->lVal = nValue;
}

namespace {

// The object itself, the only child id an object without children knows.
bool IsSelf(const VARIANT& varChild) {
    return varChild.vt == VT_I4 && varChild.lVal == CHILDID_SELF;
}

}  // namespace

CNamedAccessible::CNamedAccessible(HWND hWnd, LONG nRole, const char* pszName)
    : m_hWnd(hWnd), m_nRole(nRole), m_bstrName(nullptr) {
    AnsiToBstr(pszName, &m_bstrName);
}

CNamedAccessible::~CNamedAccessible() { ::SysFreeString(m_bstrName); }

HRESULT STDMETHODCALLTYPE CNamedAccessible::get_accParent(IDispatch** ppdispParent) {
    return WindowObject(m_hWnd, ppdispParent);
}

HRESULT STDMETHODCALLTYPE CNamedAccessible::get_accName(VARIANT varChild, BSTR* pszName) {
    if (!ClearOut(pszName)) return E_POINTER;
    if (!IsSelf(varChild)) return E_INVALIDARG;
    if (m_bstrName == nullptr) return S_FALSE;
    *pszName = ::SysAllocString(m_bstrName);
    return *pszName != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CNamedAccessible::get_accRole(VARIANT varChild, VARIANT* pvarRole) {
    if (!ClearOut(pvarRole)) return E_POINTER;
    if (!IsSelf(varChild)) return E_INVALIDARG;
    SetI4(pvarRole, m_nRole);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CNamedAccessible::get_accState(VARIANT varChild, VARIANT* pvarState) {
    if (!ClearOut(pvarState)) return E_POINTER;
    if (!IsSelf(varChild)) return E_INVALIDARG;
    SetI4(pvarState, ::IsWindowVisible(m_hWnd) ? 0 : STATE_SYSTEM_INVISIBLE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CNamedAccessible::accLocation(long* pxLeft, long* pyTop, long* pcxWidth,
                                                        long* pcyHeight, VARIANT varChild) {
    if (!ClearLocation(pxLeft, pyTop, pcxWidth, pcyHeight)) return E_POINTER;
    if (!IsSelf(varChild)) return E_INVALIDARG;
    RECT rc = {};
    if (!::GetWindowRect(m_hWnd, &rc)) return CO_E_OBJNOTCONNECTED;
    SetLocation(rc, pxLeft, pyTop, pcxWidth, pcyHeight);
    return S_OK;
}
