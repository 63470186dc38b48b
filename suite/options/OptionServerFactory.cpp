#include "OptionServerFactory.h"

#include "OptionServer.h"
#include "velOptSrv.h"

COptionServerFactory::COptionServerFactory() : m_nRefs(1) { InterlockedIncrement(&g_nServerRefs); }

COptionServerFactory::~COptionServerFactory() { InterlockedDecrement(&g_nServerRefs); }

HRESULT STDMETHODCALLTYPE COptionServerFactory::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE COptionServerFactory::AddRef() { return InterlockedIncrement(&m_nRefs); }

ULONG STDMETHODCALLTYPE COptionServerFactory::Release() {
    LONG nRefs = InterlockedDecrement(&m_nRefs);
    if (nRefs == 0) delete this;
    return nRefs;
}

HRESULT STDMETHODCALLTYPE COptionServerFactory::CreateInstance(IUnknown* pOuter, REFIID riid,
                                                               void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (pOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return COptionServer::Create(riid, ppv);
}

HRESULT STDMETHODCALLTYPE COptionServerFactory::LockServer(BOOL bLock) {
    if (bLock) {
        InterlockedIncrement(&g_nServerRefs);
    } else {
        InterlockedDecrement(&g_nServerRefs);
    }
    return S_OK;
}
