// Module state of the application framework: which module's resources and
// application object are current on a thread. Every export and every window
// handler of the library makes the library's own state current while it runs,
// so that resource lookups find the library's module, not the host's.
#pragma once

#include <windows.h>

class CWinApp;

// Marks the framework's own static objects: they are constructed before and destroyed
// after every ordinary static object of the module, whose destructors may still use them.
#define AFX_FRAMEWORK_INIT __attribute__((init_priority(200)))

// The per-module record that is made current on a thread.
struct AFX_MODULE_STATE {
    HINSTANCE m_hCurrentInstanceHandle;  // the module itself
    HINSTANCE m_hCurrentResourceHandle;  // where resources are looked up
    CWinApp* m_pCurrentWinApp;           // the module's application object
};

// The library's own module state (valid from static construction on).
AFX_MODULE_STATE* AfxGetStaticModuleState();
// The module state current on the calling thread; the library's own when none was set.
AFX_MODULE_STATE* AfxGetModuleState();
// Shorthands over the current module state.
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
CWinApp* AfxGetApp();

// Makes a module state current for one scope and restores the previous one on
// every way out of it.
class AFX_MAINTAIN_STATE2 {
  public:
    explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState);
    ~AFX_MAINTAIN_STATE2();
    AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
    AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

  private:
    AFX_MODULE_STATE* m_pPrevModuleState;  // what was current before this scope
};
