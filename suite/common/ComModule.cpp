// The entry points that every in-process COM server of the suite has alike.
#include "ComModule.h"

#include <objbase.h>

HINSTANCE g_hComModule = nullptr;

namespace {

// Live objects and class-object locks; the module may go when it is 0.
LONG g_nUsers = 0;

}  // namespace

void ComModuleAddRef() { InterlockedIncrement(&g_nUsers); }

void ComModuleRelease() { InterlockedDecrement(&g_nUsers); }

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hComModule = hInstance;
        DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return g_nUsers == 0 ? S_OK : S_FALSE; }
