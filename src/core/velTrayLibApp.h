// The library's application object: records the module at load and writes the
// start and exit lines of the trace.
#pragma once

#include <windows.h>

#include "framework/WinApp.h"

class CvelTrayLibApp : public CWinApp {
  public:
    CvelTrayLibApp();

    // Saves the module handle in g_hLibInstance and opens the trace.
    BOOL InitInstance() override;
    // Writes the exit line, then the framework's own exit.
    int ExitInstance() override;
};

// The library's own module: its resources and the files beside it are found through it.
extern HINSTANCE g_hLibInstance;
