// Entry point and exports of velDsgn.dll.
#include "DsgnModule.h"

#include <objbase.h>

#include <new>

#include "DsgnFactory.h"
#include "design/IvelDsgn.h"

HINSTANCE g_hDsgnModule = nullptr;

namespace {

// Live objects and class-object locks; the module may go when it is 0.
LONG g_nUsers = 0;

}  // namespace

void DsgnModuleAddRef() { InterlockedIncrement(&g_nUsers); }

void DsgnModuleRelease() { InterlockedDecrement(&g_nUsers); }

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hDsgnModule = hInstance;
        DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_velDsgn)) return CLASS_E_CLASSNOTAVAILABLE;
    CDsgnFactory* pFactory = new (std::nothrow) CDsgnFactory;
    if (pFactory == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = pFactory->QueryInterface(riid, ppv);
    pFactory->Release();
    return hr;
}

STDAPI DllCanUnloadNow() { return g_nUsers == 0 ? S_OK : S_FALSE; }
