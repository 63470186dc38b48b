#include "DesktopUser.h"

// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <atomic>
#include <thread>

#include "VelTrayApi.h"

// Runs a Linux program of the X display (xdotool) and waits for it. Called on the
// driver thread; the test's main thread answers messages meanwhile.
bool RunUnix(const std::string& commandLine) {
    std::string cmd = "cmd /c start /wait /unix " + commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi)) {
        return false;
    }
    WaitForSingleObject(pi.hProcess, kUserWaitMs);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

void Click(POINT pt, int nButton) {
    RunUnix("/usr/bin/xdotool mousemove " + std::to_string(pt.x) + " " + std::to_string(pt.y) +
            " click " + std::to_string(nButton));
}

// Answers this thread's messages until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD nTimeoutMs) {
    const DWORD nStart = GetTickCount();
    while (!done()) {
        if (GetTickCount() - nStart > nTimeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

// Plays a user's actions on a driver thread while this thread runs the library's
// windows (and the menus' modal loops) as the host's user-interface thread does.
void PlayAsUser(const std::function<void()>& script) {
    std::atomic<bool> bDone{false};
    std::thread driver([&] {
        script();
        // A menu that the script left open (it did not find what it looked for) would keep this
        // thread in the menu's loop for ever: the user closes it, and the caller's checks tell
        // what went wrong.
        if (const HWND hMenu = FindMenu()) {
            PostMessageA(hMenu, WM_KEYDOWN, VK_ESCAPE, 1);
            WaitForNoMenu();
        }
        bDone = true;
    });
    PumpUntil([&] { return bDone.load(); }, 4 * kUserWaitMs);
    driver.join();
    PumpUntil([] { return false; }, 300);  // what the last action caused
}

// Where the shell shows the icon of a callback window, in desktop coordinates.
// Shell_NotifyIconGetRect tells where it exists; Wine's taskbar does not answer it
// and lays its icons out in 20-pixel slots from its right end, in the order they
// were added (a removed icon frees its slot), which the recorded calls give.
bool IconCenter(HWND hIconWnd, const std::vector<ShellCall>& calls, POINT& pt) {
    struct Identifier {
        DWORD cbSize;
        HWND hWnd;
        UINT uID;
        GUID guidItem;
    } id = {sizeof(Identifier), hIconWnd, 1, {}};
    using GetRectFn = HRESULT(WINAPI*)(const Identifier*, RECT*);
    auto pfn = reinterpret_cast<GetRectFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("shell32.dll"), "Shell_NotifyIconGetRect")));
    RECT rc = {};
    if (pfn != nullptr && SUCCEEDED(pfn(&id, &rc))) {
        pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        return true;
    }
    std::vector<HWND> shown;
    for (const ShellCall& call : calls) {
        if (call.dwMessage == NIM_ADD) shown.push_back(call.hWnd);
        if (call.dwMessage == NIM_DELETE) {
            for (size_t i = 0; i < shown.size(); ++i) {
                if (shown[i] == call.hWnd) {
                    shown.erase(shown.begin() + i);
                    break;
                }
            }
        }
    }
    HWND hTaskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (hTaskbar == nullptr || !GetWindowRect(hTaskbar, &rc)) return false;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != hIconWnd) continue;
        pt = {rc.right - 20 * static_cast<LONG>(i) - 10, (rc.top + rc.bottom) / 2};
        return true;
    }
    return false;
}

HWND FindMenu() {
    HWND hMenu = FindWindowA("BitmapMenu", nullptr);
    return hMenu != nullptr && IsWindowVisible(hMenu) ? hMenu : nullptr;
}

std::vector<MenuItem> ReadMenu(HWND hMenu) {
    std::vector<MenuItem> items;
    HWND hBar = FindWindowExA(hMenu, nullptr, TOOLBARCLASSNAMEA, nullptr);
    if (hBar == nullptr) return items;
    const int nButtons = static_cast<int>(SendMessageA(hBar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < nButtons; ++i) {
        TBBUTTON button = {};
        SendMessageA(hBar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        if (button.fsStyle & BTNS_SEP) continue;
        char szText[260] = {};
        SendMessageA(hBar, TB_GETBUTTONTEXTA, button.idCommand, reinterpret_cast<LPARAM>(szText));
        RECT rc = {};
        SendMessageA(hBar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc));
        MapWindowPoints(hBar, nullptr, reinterpret_cast<POINT*>(&rc), 2);
        items.push_back(
            {szText, button.idCommand, {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}});
    }
    return items;
}

// True when the menu takes input: it holds its thread's keyboard focus and nothing of it waits
// to be painted.
static bool IsReady(HWND hMenu) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    const HWND hBar = FindWindowExA(hMenu, nullptr, TOOLBARCLASSNAMEA, nullptr);
    return hBar != nullptr && GetGUIThreadInfo(GetWindowThreadProcessId(hMenu, nullptr), &info) &&
           info.hwndFocus == hMenu && !GetUpdateRect(hMenu, nullptr, FALSE) &&
           !GetUpdateRect(hBar, nullptr, FALSE);
}

// The open menu, waited for on the driver thread until it takes input; null when none opened.
HWND WaitForMenu() {
    const DWORD nStart = GetTickCount();
    HWND hMenu = nullptr;
    while (((hMenu = FindMenu()) == nullptr || !IsReady(hMenu)) &&
           GetTickCount() - nStart < kUserWaitMs) {
        Sleep(20);
    }
    return hMenu;
}

// Waits on the driver thread until no menu is open; false when one stays.
bool WaitForNoMenu() {
    const DWORD nStart = GetTickCount();
    while (FindMenu() != nullptr) {
        if (GetTickCount() - nStart > kUserWaitMs) return false;
        Sleep(50);
    }
    return true;
}

const MenuItem* FindItem(const std::vector<MenuItem>& items, int nCommand) {
    for (const MenuItem& item : items) {
        if (item.nCommand == nCommand) return &item;
    }
    return nullptr;
}

SemStandIn::SemStandIn(const char* pszProgram, bool bCaptureOutput) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE hWrite = nullptr;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (bCaptureOutput && CreatePipe(&m_hRead, &hWrite, &sa, 0)) {
        SetHandleInformation(m_hRead, HANDLE_FLAG_INHERIT, 0);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = hWrite;
        si.hStdError = hWrite;
    }
    const std::string program(pszProgram);
    const std::string folder =
        program.find('\\') == std::string::npos ? VelTrayApi::ProgramFolder() : "";
    std::string cmd = "\"" + folder + program + "\" 60000";
    m_bStarted = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                                &m_pi) != FALSE;
    if (hWrite != nullptr) CloseHandle(hWrite);
    // Ready once it has created its events.
    const DWORD nStart = GetTickCount();
    while (m_bStarted && GetTickCount() - nStart < kUserWaitMs) {
        HANDLE hEvent = OpenEventA(SYNCHRONIZE, FALSE, "MonitorShutdown");
        if (hEvent != nullptr) {
            CloseHandle(hEvent);
            break;
        }
        Sleep(20);
    }
}

SemStandIn::~SemStandIn() {
    if (m_bStarted) {
        TerminateProcess(m_pi.hProcess, 3);
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
    }
    if (m_hRead != nullptr) CloseHandle(m_hRead);
}

std::string SemStandIn::Output() {
    std::string text;
    if (!m_bStarted || m_hRead == nullptr) return text;
    WaitForSingleObject(m_pi.hProcess, kUserWaitMs);
    char buffer[256];
    DWORD nRead = 0;
    DWORD nAvailable = 0;
    while (PeekNamedPipe(m_hRead, nullptr, 0, nullptr, &nAvailable, nullptr) && nAvailable > 0 &&
           ReadFile(m_hRead, buffer, sizeof(buffer), &nRead, nullptr) && nRead > 0) {
        text.append(buffer, nRead);
    }
    return text;
}
