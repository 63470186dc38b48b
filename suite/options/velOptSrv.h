// velOptSrv.dll, the suite's options server as an in-process COM server: the module's
// process-wide state shared by the server's objects and its exported entry points.
#pragma once

#include <windows.h>

// The server's own module; its answers file is found beside it.
extern HMODULE g_hServerModule;
// Live objects and class-factory locks; the DLL may be unloaded when this is 0.
extern LONG g_nServerRefs;
