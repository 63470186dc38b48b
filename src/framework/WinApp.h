// The application object of a DLL: constructed statically, initialised when
// the module is attached to the process and shut down when it is detached.
#pragma once

#include <windows.h>

class CWinApp {
  public:
    explicit CWinApp(const char* pszAppName);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs once when the module is attached; FALSE refuses the load.
    virtual BOOL InitInstance();
    // Runs once when the module is detached; the result is the module's exit code.
    virtual int ExitInstance();

    HINSTANCE m_hInstance;     // the module, known from attach on
    const char* m_pszAppName;  // a name for diagnostics
};

// Called by the module's entry point at process attach: records the module in
// its module state and runs InitInstance. Returns FALSE when the load must fail.
BOOL AfxDllAttach(HINSTANCE hInstance);
// Called by the module's entry point at process detach: runs ExitInstance.
void AfxDllDetach();
