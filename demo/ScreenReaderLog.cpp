#include "ScreenReaderLog.h"

// oleacc.h needs windows.h first.
#include <oleacc.h>

#include <cstdio>

ScreenReaderLog* ScreenReaderLog::s_pLog = nullptr;

namespace {

// The windows of the library a screen reader listens to: the menus and the information window.
bool IsLibraryWindow(HWND hWnd) {
    char szClass[16] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    return lstrcmpA(szClass, "BitmapMenu") == 0 || lstrcmpA(szClass, "#32770") == 0;
}

// What a screen reader says for an event.
const char* EventText(DWORD event) {
    switch (event) {
        case EVENT_SYSTEM_MENUPOPUPSTART:
            return "menu opens";
        case EVENT_SYSTEM_MENUPOPUPEND:
            return "menu closes";
        case EVENT_OBJECT_FOCUS:
            return "focus";
        case EVENT_SYSTEM_ALERT:
            return "alert";
        case EVENT_OBJECT_SHOW:
            return "shown";
        case EVENT_OBJECT_NAMECHANGE:
            return "new name";
        default:
            return nullptr;
    }
}

std::string Narrow(const BSTR bstr) {
    if (bstr == nullptr) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, bstr, -1, nullptr, 0, nullptr, nullptr);
    std::string text(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, bstr, -1, &text[0], n, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

}  // namespace

ScreenReaderLog::ScreenReaderLog(bool bEcho) : m_hHook(nullptr), m_bEcho(bEcho) {
    s_pLog = this;
    // In context: each event is heard inside the call that raises it, while its window is
    // there. Wine drops an event that waits for this thread's queue when its window goes
    // before the queue is read, as a closing menu's does.
    HMODULE hSelf = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ScreenReaderLog::OnEvent), &hSelf);
    m_hHook = SetWinEventHook(EVENT_MIN, EVENT_MAX, hSelf, &ScreenReaderLog::OnEvent,
                              GetCurrentProcessId(), 0, WINEVENT_INCONTEXT);
}

ScreenReaderLog::~ScreenReaderLog() {
    if (m_hHook != nullptr) UnhookWinEvent(m_hHook);
    s_pLog = nullptr;
}

std::vector<HeardEvent> ScreenReaderLog::Take() {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<HeardEvent> heard;
    heard.swap(m_heard);
    return heard;
}

bool ScreenReaderLog::WaitFor(size_t n, DWORD nTimeoutMs) {
    const DWORD nStart = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_heard.size() >= n) return true;
        }
        if (GetTickCount() - nStart > nTimeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

std::string ScreenReaderLog::Describe(const HeardEvent& heard) {
    std::string line = EventText(heard.event);
    char szRole[64] = {};
    if (heard.role != 0 && GetRoleTextA(static_cast<DWORD>(heard.role), szRole, sizeof(szRole))) {
        line += std::string(": ") + szRole;
    }
    if (!heard.name.empty()) line += " \"" + heard.name + "\"";
    return line;
}

std::vector<std::string> ScreenReaderLog::Lines(const std::vector<HeardEvent>& events) {
    std::vector<std::string> lines;
    for (const HeardEvent& e : events) {
        if (e.event == EVENT_OBJECT_FOCUS && e.idChild == CHILDID_SELF) continue;
        lines.push_back(std::to_string(e.event) + " " +
                        std::to_string(reinterpret_cast<UINT_PTR>(e.hWnd)) + " " +
                        std::to_string(e.idObject) + " " + std::to_string(e.idChild) + " " +
                        (e.idObject == OBJID_WINDOW ? "" : std::to_string(e.role)) + " " + e.name);
    }
    return lines;
}

void CALLBACK ScreenReaderLog::OnEvent(HWINEVENTHOOK, DWORD event, HWND hWnd, LONG idObject,
                                       LONG idChild, DWORD, DWORD) {
    if (s_pLog == nullptr || EventText(event) == nullptr || !IsLibraryWindow(hWnd)) return;
    HeardEvent heard = {event, hWnd, idObject, idChild, 0, std::string()};
    // A screen reader asks the object of the event at once, while it is still there.
    IAccessible* pAcc = nullptr;
    VARIANT child;
    VariantInit(&child);
    if (event != EVENT_SYSTEM_MENUPOPUPEND &&
        SUCCEEDED(AccessibleObjectFromEvent(hWnd, static_cast<DWORD>(idObject),
                                            static_cast<DWORD>(idChild), &pAcc, &child))) {
        VARIANT role;
        VariantInit(&role);
        if (pAcc->get_accRole(child, &role) == S_OK && role.vt == VT_I4) heard.role = role.lVal;
        BSTR bstrName = nullptr;
        if (pAcc->get_accName(child, &bstrName) == S_OK) heard.name = Narrow(bstrName);
        SysFreeString(bstrName);
        // Wine's standard window object answers no name; the system's elsewhere answers the
        // window's text, which a screen reader then hears.
        if (heard.name.empty() && idObject == OBJID_WINDOW) {
            char szText[512] = {};
            GetWindowTextA(hWnd, szText, sizeof(szText));
            heard.name = szText;
        }
        VariantClear(&child);
        pAcc->Release();
    }
    if (s_pLog->m_bEcho) {
        std::printf("  screen reader hears: %s\n", Describe(heard).c_str());
        std::fflush(stdout);
    }
    std::lock_guard<std::mutex> lock(s_pLog->m_lock);
    s_pLog->m_heard.push_back(heard);
}
