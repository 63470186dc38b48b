#include "DsgnObject.h"

#include <oleauto.h>

#include "ComModule.h"
#include "DsgnQuirks.h"
#include "text/Status.h"

namespace {

// The product name the component hands out.
constexpr wchar_t kProductName[] = L"Tessaroth Quillmark";
// Design colours of properties 201 to 209 (0x00BBGGRR).
constexpr COLORREF kColors[9] = {0x48AF41, 0x000000, 0x48AF41, 0x000000, 0xFFFFFF,
                                 0xFFFFFF, 0xAFAFAF, 0x202020, 0xFFB060};
// Icon resource of the product icon (property 101): the SEM icon's resting picture.
constexpr WORD kProductIconId = 110;

// Shared icons belong to the system: whoever receives a handle never destroys it, and
// asking again gives the same handle. The SEM pictures are meant for the notification
// area and come in its small size; the product icon in the standard size.
HICON LoadPicture(LONG nId) {
    if (nId == 101) return LoadIconW(g_hComModule, MAKEINTRESOURCEW(kProductIconId));
    return static_cast<HICON>(LoadImageW(g_hComModule, MAKEINTRESOURCEW(nId), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

// The regular answer to property nId into the empty *pVar.
HRESULT Answer(LONG nId, VARIANT* pVar, LONG* pStatus) {
    HRESULT hr = S_OK;
    LONG nStatus = ST_OK;
    if (nId == 101 || (nId >= 110 && nId <= 113)) {
        const HICON hIcon = LoadPicture(nId);
        if (hIcon != nullptr) {
            pVar->vt = VT_UI4;
            pVar->ulVal = static_cast<ULONG>(reinterpret_cast<UINT_PTR>(hIcon));
        } else {
            hr = E_FAIL;
            nStatus = ST_E_FAIL;
        }
    } else if (nId == 102) {
        const BSTR bstrName = SysAllocString(kProductName);
        if (bstrName != nullptr) {
            pVar->vt = VT_BSTR;
            pVar->bstrVal = bstrName;
        } else {
            hr = E_OUTOFMEMORY;
            nStatus = ST_E_OUTOFMEMORY;
        }
    } else if (nId >= 201 && nId <= 209) {
        pVar->vt = VT_UI4;
        pVar->ulVal = kColors[nId - 201];
    } else {
        nStatus = ST_E_INVALIDARG;
    }
    if (pStatus != nullptr) *pStatus = nStatus;
    return hr;
}

}  // namespace

bool CDsgnObject::OffersInterface(REFIID riid) const {
    return IsEqualIID(riid, IID_IvelDsgn) && QuirkOffersDesign();
}

HRESULT STDMETHODCALLTYPE CDsgnObject::Reserved3() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CDsgnObject::Reserved4() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CDsgnObject::Reserved5() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CDsgnObject::Reserved6() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CDsgnObject::GetProperty(LONG nId, VARIANT* pVar, LONG* pStatus) {
    if (pVar == nullptr) {
        if (pStatus != nullptr) *pStatus = ST_E_INVALIDARG;
        return E_POINTER;
    }
    // The library hands in an initialised VARIANT and may reuse one across calls, so a
    // value left from an earlier answer is freed here instead of being overwritten.
    VariantClear(pVar);
    HRESULT hr = S_OK;
    if (QuirkAnswer(nId, pVar, pStatus, &hr)) return hr;
    return Answer(nId, pVar, pStatus);
}
