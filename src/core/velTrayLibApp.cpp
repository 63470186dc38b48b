#include "core/velTrayLibApp.h"

#include "core/ProductName.h"
#include "util/TraceLog.h"

HINSTANCE g_hLibInstance = nullptr;

// The one application object of the library.
CvelTrayLibApp theApp;

CvelTrayLibApp::CvelTrayLibApp() : CWinApp("velTrayLib") {}

BOOL CvelTrayLibApp::InitInstance() {
    try {
        g_hLibInstance = m_hInstance;
        g_traceLog.Open(m_hInstance);
        g_traceLog.WriteLine("InitInstance " VEL_COMPANY_NAME " Tray");
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

int CvelTrayLibApp::ExitInstance() {
    g_traceLog.WriteLine("ExitInstance " VEL_COMPANY_NAME " Tray");
    return CWinApp::ExitInstance();
}
