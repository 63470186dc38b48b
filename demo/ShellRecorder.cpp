#include "ShellRecorder.h"

#include <mutex>

namespace {

std::mutex g_lock;
std::vector<ShellCall> g_calls;
BOOL g_bResult = TRUE;
bool g_bPassOn = false;
decltype(&Shell_NotifyIconA) g_pfnReal = nullptr;

BOOL WINAPI RecordingNotifyIcon(DWORD dwMessage, PNOTIFYICONDATAA pData) {
    ShellCall call = {};
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    call.nTime = now.QuadPart;
    call.dwMessage = dwMessage;
    call.cbSize = pData->cbSize;
    call.hWnd = pData->hWnd;
    call.uID = pData->uID;
    call.uFlags = pData->uFlags;
    call.uCallbackMessage = pData->uCallbackMessage;
    call.hIcon = pData->hIcon;
    call.tip.assign(pData->szTip, strnlen(pData->szTip, sizeof(pData->szTip)));
    const BYTE* pBytes = reinterpret_cast<const BYTE*>(pData);
    const size_t nAfterTip = offsetof(NOTIFYICONDATAA, szTip) + sizeof(pData->szTip);
    call.bRestIsZero = true;
    for (size_t i = nAfterTip; i < pData->cbSize; ++i) call.bRestIsZero &= pBytes[i] == 0;
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.push_back(call);
    return g_bPassOn && g_pfnReal != nullptr ? g_pfnReal(dwMessage, pData) : g_bResult;
}

}  // namespace

ShellRecorder::ShellRecorder(HMODULE hModule, bool bPassOn)
    : m_patch(hModule, "shell32.dll", "Shell_NotifyIconA",
              reinterpret_cast<void*>(&RecordingNotifyIcon)) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.clear();
    g_bResult = TRUE;
    g_bPassOn = bPassOn;
    g_pfnReal = reinterpret_cast<decltype(g_pfnReal)>(m_patch.Original());
}

std::vector<ShellCall> ShellRecorder::Calls() const {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_calls;
}

std::vector<ShellCall> ShellRecorder::Take() {
    std::lock_guard<std::mutex> lock(g_lock);
    std::vector<ShellCall> calls;
    calls.swap(g_calls);
    return calls;
}

void ShellRecorder::SetResult(BOOL bResult) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_bResult = bResult;
}
