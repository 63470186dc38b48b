#include "DsgnFactory.h"

#include <new>

#include "DsgnModule.h"
#include "DsgnObject.h"

CDsgnFactory::CDsgnFactory() : m_nRefs(1) { DsgnModuleAddRef(); }

CDsgnFactory::~CDsgnFactory() { DsgnModuleRelease(); }

HRESULT STDMETHODCALLTYPE CDsgnFactory::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CDsgnFactory::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_nRefs));
}

ULONG STDMETHODCALLTYPE CDsgnFactory::Release() {
    const LONG nRefs = InterlockedDecrement(&m_nRefs);
    if (nRefs == 0) delete this;
    return static_cast<ULONG>(nRefs);
}

HRESULT STDMETHODCALLTYPE CDsgnFactory::CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (pOuter != nullptr) return CLASS_E_NOAGGREGATION;
    CDsgnObject* pObject = new (std::nothrow) CDsgnObject;
    if (pObject == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = pObject->QueryInterface(riid, ppv);
    pObject->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CDsgnFactory::LockServer(BOOL bLock) {
    if (bLock) {
        DsgnModuleAddRef();
    } else {
        DsgnModuleRelease();
    }
    return S_OK;
}
