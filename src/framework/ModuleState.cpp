#include "framework/ModuleState.h"

namespace {

// Zero-initialised before any constructor runs, so it is usable during static construction.
AFX_MODULE_STATE g_moduleState;

// The state made current by AFX_MAINTAIN_STATE2 on this thread; null outside any scope.
thread_local AFX_MODULE_STATE* t_pCurrentState = nullptr;

}  // namespace

AFX_MODULE_STATE* AfxGetStaticModuleState() { return &g_moduleState; }

AFX_MODULE_STATE* AfxGetModuleState() {
    return t_pCurrentState != nullptr ? t_pCurrentState : &g_moduleState;
}

HINSTANCE AfxGetInstanceHandle() { return AfxGetModuleState()->m_hCurrentInstanceHandle; }

HINSTANCE AfxGetResourceHandle() { return AfxGetModuleState()->m_hCurrentResourceHandle; }

CWinApp* AfxGetApp() { return AfxGetModuleState()->m_pCurrentWinApp; }

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState)
    : m_pPrevModuleState(t_pCurrentState) {
    t_pCurrentState = pNewState;
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() { t_pCurrentState = m_pPrevModuleState; }
