// The DLL's entry point: the framework runs the application object's
// initialisation at attach and its exit at detach. Static construction has run
// before attach and static clean-up runs after detach.
#include <windows.h>

#include "framework/WinApp.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    switch (dwReason) {
        case DLL_PROCESS_ATTACH:
            return AfxDllAttach(hInstance);
        case DLL_PROCESS_DETACH:
            AfxDllDetach();
            return TRUE;
        default:
            return TRUE;
    }
}
