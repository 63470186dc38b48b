// A module with nothing but its resources: in a test's folder it plays the library's
// own module, whose folder the design provider searches.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
