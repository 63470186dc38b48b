// A host built against a velTrayLib release: it links the import library, starts the tray on
// a hidden window, shows a reader's chip icon and stops. The last line it prints is
// "velConsumer: N passed, M failed"; the exit code is 0 when nothing failed.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "velTrayLib.h"

static int g_nPassed, g_nFailed;  // checks that held, and that did not

// Counts a check, and names it when it did not hold.
static void Check(BOOL bHeld, const char* pszWhat) {
    if (!bHeld) printf("FAILED: %s\n", pszWhat);
    ++*(bHeld ? &g_nPassed : &g_nFailed);
}

// The number of the library's hidden icon windows ("SC_WND") in the desktop, where this
// program alone runs the library.
static int IconWindows(void) {
    int nCount = 0;
    HWND hWnd = NULL;
    while ((hWnd = FindWindowExA(NULL, hWnd, "SC_WND", NULL)) != NULL) ++nCount;
    return nCount;
}

// Whether the loaded DLL's version block is a DLL's, names its file and carries the package's
// version.
static BOOL HasPackageVersion(void) {
    char szPath[MAX_PATH];
    static BYTE block[4096];
    VS_FIXEDFILEINFO* pInfo = NULL;
    const char* pszName = NULL;
    UINT nLen = 0;
    if (!GetModuleFileNameA(GetModuleHandleA("velTrayLib.dll"), szPath, MAX_PATH) ||
        !GetFileVersionInfoA(szPath, 0, sizeof block, block) ||
        !VerQueryValueA(block, "\\", (void**)&pInfo, &nLen) ||
        !VerQueryValueA(block, "\\StringFileInfo\\040704B0\\OriginalFilename", (void**)&pszName,
                        &nLen))
        return FALSE;
    return pInfo->dwFileType == VFT_DLL && strcmp(pszName, "velTrayLib.dll") == 0 &&
           pInfo->dwFileVersionMS == MAKELONG(VEL_MINOR, VEL_MAJOR) &&
           pInfo->dwFileVersionLS == MAKELONG(0, VEL_PATCH);
}

int main(void) {
    HWND hHost = CreateWindowA("STATIC", "velConsumer", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    Check(HasPackageVersion(), "the DLL's version block");
    Check(velStartTray(hHost, FALSE) == VEL_OK, "velStartTray with the stand-ins beside the DLL");
    const int nStarted = IconWindows();
    Check(velCardPresent("Consumer Reader", 0x10000) == VEL_OK, "velCardPresent");
    Check(IconWindows() == nStarted + 1, "the reader's icon has its window");
    Check(velStopTray() == VEL_OK, "velStopTray");
    Check(IconWindows() == 0, "no icon window left after velStopTray");
    DestroyWindow(hHost);
    printf("velConsumer: %d passed, %d failed\n", g_nPassed, g_nFailed);
    return g_nFailed != 0;
}
