#include "framework/WinApp.h"

#include "framework/ModuleState.h"

CWinApp::CWinApp(const char* pszAppName) : m_hInstance(nullptr), m_pszAppName(pszAppName) {
    AfxGetStaticModuleState()->m_pCurrentWinApp = this;
}

CWinApp::~CWinApp() {
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    if (pState->m_pCurrentWinApp == this) pState->m_pCurrentWinApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

BOOL AfxDllAttach(HINSTANCE hInstance) {
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    AFX_MAINTAIN_STATE2 scope(pState);
    pState->m_hCurrentInstanceHandle = hInstance;
    pState->m_hCurrentResourceHandle = hInstance;
    CWinApp* pApp = pState->m_pCurrentWinApp;
    if (pApp == nullptr) return TRUE;
    pApp->m_hInstance = hInstance;
    // A refused load is followed by a detach from the loader, which runs ExitInstance.
    return pApp->InitInstance();
}

void AfxDllDetach() {
    AFX_MODULE_STATE* pState = AfxGetStaticModuleState();
    AFX_MAINTAIN_STATE2 scope(pState);
    if (pState->m_pCurrentWinApp != nullptr) pState->m_pCurrentWinApp->ExitInstance();
}
