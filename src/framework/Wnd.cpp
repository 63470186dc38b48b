#include "framework/Wnd.h"

#include <map>
#include <memory>

#include "framework/ModuleState.h"

namespace {

// Wrappers handed out by FromHandle, by window handle. Built before and destroyed after
// the library's own process-wide objects, whose clean-up still forgets window handles.
std::map<HWND, std::unique_ptr<CWnd>> g_handleMap AFX_FRAMEWORK_INIT;

std::map<HWND, std::unique_ptr<CWnd>>& HandleMap() { return g_handleMap; }

}  // namespace

CWnd::CWnd() : m_hWnd(nullptr) {}

CWnd::~CWnd() = default;

HWND CWnd::GetSafeHwnd() const { return m_hWnd; }

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (hWnd == nullptr) return nullptr;
    std::unique_ptr<CWnd>& slot = HandleMap()[hWnd];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = hWnd;
    }
    return slot.get();
}

void CWnd::ForgetHandle(HWND hWnd) { HandleMap().erase(hWnd); }
