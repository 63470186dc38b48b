// The information window under Wine's desktop, which has a real taskbar along the bottom:
// placement, the slide animations as the window manager sees them, the texts, the alert, the
// background picture read back from the screen and a real click on the hide control.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ImportPatch.h"
#include "ShellRecorder.h"
#include "core/velTrayLibApp.h"
#include "core/velTrayLibMgr.h"
#include "infownd/InfoDlg.h"
#include "infownd/InfoPlacement.h"
#include "text/TextTable.h"
#include "tray/ChipIcon.h"
#include "tray/SEMIcon.h"

namespace {

// A text id of the staged language library whose text names the product twice.
constexpr UINT kTextTwice = 7001;
// The library's alert picture.
constexpr UINT kAlertIconId = 215;

// The test program's folder, where the built library and language libraries lie.
std::string ProgramDir() {
    char name[MAX_PATH];
    const std::string path(name, GetModuleFileNameA(nullptr, name, MAX_PATH));
    return path.substr(0, path.rfind('\\') + 1);
}

// One call of SetWindowPos or Sleep made by this program's code on the test's thread.
struct WindowCall {
    bool bSleep;        // a Sleep (ms in nFlags) rather than a SetWindowPos
    HWND hWnd;          // the window moved
    HWND hInsertAfter;  // the z-order given
    int x, y, cx, cy;   // place and size given
    UINT nFlags;        // SWP_* flags, or the milliseconds of a Sleep
};

// The calls noted on the recorded thread, and the originals the recording functions call.
std::vector<WindowCall> g_windowCalls;
DWORD g_recordingThread = 0;
decltype(&SetWindowPos) g_pfnSetWindowPos = nullptr;
decltype(&Sleep) g_pfnSleep = nullptr;

BOOL WINAPI RecordingSetWindowPos(HWND hWnd, HWND hAfter, int x, int y, int cx, int cy,
                                  UINT nFlags) {
    if (GetCurrentThreadId() == g_recordingThread)
        g_windowCalls.push_back({false, hWnd, hAfter, x, y, cx, cy, nFlags});
    return g_pfnSetWindowPos(hWnd, hAfter, x, y, cx, cy, nFlags);
}

void WINAPI RecordingSleep(DWORD ms) {
    if (GetCurrentThreadId() == g_recordingThread)
        g_windowCalls.push_back({true, nullptr, nullptr, 0, 0, 0, 0, static_cast<UINT>(ms)});
    g_pfnSleep(ms);
}

// Records SetWindowPos and Sleep of this program's code on the calling thread for its life.
class WindowRecorder {
  public:
    WindowRecorder()
        : m_setWindowPos(nullptr, "user32.dll", "SetWindowPos",
                         reinterpret_cast<void*>(&RecordingSetWindowPos)),
          m_sleep(nullptr, "kernel32.dll", "Sleep", reinterpret_cast<void*>(&RecordingSleep)) {
        g_windowCalls.clear();
        g_pfnSetWindowPos =
            reinterpret_cast<decltype(g_pfnSetWindowPos)>(m_setWindowPos.Original());
        g_pfnSleep = reinterpret_cast<decltype(g_pfnSleep)>(m_sleep.Original());
        g_recordingThread = GetCurrentThreadId();
    }
    bool IsActive() const { return m_setWindowPos.IsActive() && m_sleep.IsActive(); }
    // The calls so far; forgets them.
    std::vector<WindowCall> Take() { return std::exchange(g_windowCalls, {}); }

  private:
    CImportPatch m_setWindowPos;  // the bent import of SetWindowPos
    CImportPatch m_sleep;         // the bent import of Sleep
};

// One animation step among recorded calls, with the pause after it.
struct Step {
    WindowCall move;  // the SetWindowPos of the step
    UINT nPauseMs;    // the first Sleep after it (0: none)
};
std::vector<Step> AnimationSteps(const std::vector<WindowCall>& calls) {
    std::vector<Step> steps;
    for (const WindowCall& call : calls) {
        if (!call.bSleep && call.nFlags == (SWP_ASYNCWINDOWPOS | SWP_SHOWWINDOW | SWP_NOACTIVATE))
            steps.push_back({call, 0});
        else if (call.bSleep && !steps.empty() && steps.back().nPauseMs == 0)
            steps.back().nPauseMs = call.nFlags;
    }
    return steps;
}

// Handles the window messages that are due, for a while.
void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

RECT WindowRect(HWND hWnd) {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(hWnd, &rect);
    return rect;
}

std::string WindowText(HWND hWnd) {
    char text[256] = "";
    GetWindowTextA(hWnd, text, sizeof text);
    return text;
}

// A temporary folder with a copy of the built library, which supplies the dialog template, the
// background picture and the alert picture, and a language library with the texts the window uses.
// For its life the copy is the library's module and the text table reads the language library.
class LibStage {
  public:
    LibStage() : m_hLib(nullptr), m_hPrevious(g_hLibInstance) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        m_dir = std::string(temp) + "velInfoDlg" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(m_dir.c_str(), nullptr);
        EXPECT_TRUE(CopyFileA((ProgramDir() + "velTrayLib.dll").c_str(),
                              (m_dir + "velTrayLib.dll").c_str(), FALSE));
        WriteLanguageLibrary();
        m_hLib = LoadLibraryA((m_dir + "velTrayLib.dll").c_str());
        EXPECT_NE(m_hLib, nullptr);
        g_hLibInstance = m_hLib;
        EXPECT_EQ(g_textTable.Load(m_hLib), ST_OK);
    }
    ~LibStage() {
        // A folder without language libraries leaves the table empty, as the other tests expect.
        g_textTable.Load(GetModuleHandleA("kernel32.dll"));
        g_hLibInstance = m_hPrevious;
        FreeLibrary(m_hLib);
        DeleteFileA((m_dir + "velTrayLib.dll").c_str());
        DeleteFileA((m_dir + "tstSEMk.dll").c_str());
        RemoveDirectoryA(m_dir.c_str());
    }
    HMODULE Module() const { return m_hLib; }

  private:
    // tstSEMk.dll: the shipped English library with a text of our own.
    void WriteLanguageLibrary() {
        const std::string path = m_dir + "tstSEMk.dll";
        ASSERT_TRUE(CopyFileA((ProgramDir() + "enuSEMk.dll").c_str(), path.c_str(), FALSE));
        const std::wstring text = L"%1 signs for %1.";
        std::wstring block(16, L'\0');
        block.replace(kTextTwice % 16, 1, static_cast<wchar_t>(text.size()) + text);
        const HANDLE hUpdate = BeginUpdateResourceA(path.c_str(), FALSE);
        ASSERT_NE(hUpdate, nullptr);
        ASSERT_TRUE(UpdateResourceA(hUpdate, MAKEINTRESOURCEA(6),
                                    MAKEINTRESOURCEA(kTextTwice / 16 + 1), 0, block.data(),
                                    static_cast<DWORD>(block.size() * sizeof(wchar_t))));
        ASSERT_TRUE(EndUpdateResourceA(hUpdate, FALSE));
    }

    std::string m_dir;      // the folder, ending with a backslash
    HMODULE m_hLib;         // the staged library
    HINSTANCE m_hPrevious;  // g_hLibInstance before the stage
};

class InfoDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(windows.IsActive());
        const HWND hTaskbar = FindWindowA("Shell_TrayWnd", "");
        ASSERT_NE(hTaskbar, nullptr) << "the tests run in Wine's desktop with its taskbar";
        m_taskbar = WindowRect(hTaskbar);
        m_hForeground = GetForegroundWindow();
    }
    // The window of the SEM icon's information window.
    static HWND InfoWnd(const CSEMIcon& sem) {
        return sem.GetInfoDlg() != nullptr ? sem.GetInfoDlg()->GetSafeHwnd() : nullptr;
    }
    // Neither activation nor focus went to the window.
    void ExpectNothingTaken(HWND hInfo) {
        EXPECT_EQ(GetForegroundWindow(), m_hForeground);
        const HWND hFocus = GetFocus();
        EXPECT_TRUE(hFocus == nullptr || (hFocus != hInfo && GetParent(hFocus) != hInfo));
        EXPECT_FALSE(IsWindowEnabled(hInfo));
    }

    LibStage stage;                // the library and texts the window is made from
    WindowRecorder windows;        // the moves and pauses of the animations
    RECT m_taskbar = {};           // the real taskbar's rectangle
    HWND m_hForeground = nullptr;  // the foreground window before the test
};

}  // namespace

TEST_F(InfoDlgTest, SlidesOutOfTheTaskbarAndBack) {
    CSEMIcon sem(stage.Module());
    sem.ShowText(nullptr);
    sem.HideInformation(0);
    EXPECT_EQ(sem.GetInfoDlg(), nullptr);

    sem.ShowText("Die Karte wurde erkannt");
    const HWND hInfo = InfoWnd(sem);
    ASSERT_NE(hInfo, nullptr);
    EXPECT_TRUE(IsWindowVisible(hInfo));
    const RECT r = WindowRect(hInfo);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    // Against the real taskbar along the bottom: the window stands on it, at its right end.
    EXPECT_EQ(sem.GetInfoDlg()->GetEdge(), kEdgeBottom);
    EXPECT_EQ(r.right, m_taskbar.right);
    EXPECT_EQ(r.bottom, m_taskbar.top);
    const InfoPlacement place = PlaceInfoWindow(GetSystemMetrics(SM_CXSCREEN),
                                                GetSystemMetrics(SM_CYSCREEN), &m_taskbar, w, h);
    EXPECT_EQ(place.x, r.left);
    EXPECT_EQ(place.y, r.top);
    EXPECT_NE(GetWindowLongA(hInfo, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    ExpectNothingTaken(hInfo);

    // It rose out of the taskbar 5 pixels a step, 25 ms apart.
    std::vector<Step> steps = AnimationSteps(windows.Take());
    ASSERT_EQ(steps.size(), static_cast<size_t>((h + 4) / 5));
    for (size_t i = 0; i < steps.size(); ++i) {
        const WindowCall& move = steps[i].move;
        EXPECT_EQ(move.hWnd, hInfo);
        EXPECT_EQ(move.hInsertAfter, HWND_TOP);
        EXPECT_EQ(move.x, r.left);
        EXPECT_EQ(move.y, r.top + h - 5 * static_cast<int>(i)) << i;
        EXPECT_EQ(move.cx, w);
        EXPECT_EQ(move.cy, h);
        EXPECT_EQ(steps[i].nPauseMs, 25u);
    }

    // A new, longer text while shown: new size and place at once.
    sem.ShowText("Die Signatur wurde erfolgreich erstellt und gespeichert");
    EXPECT_TRUE(AnimationSteps(windows.Take()).empty());
    const RECT wider = WindowRect(hInfo);
    EXPECT_GT(wider.right - wider.left, w);
    EXPECT_EQ(wider.right, m_taskbar.right);
    EXPECT_EQ(wider.bottom, m_taskbar.top);
    EXPECT_EQ(WindowText(GetDlgItem(hInfo, CInfoDlg::kTextControlId)),
              "Die Signatur wurde erfolgreich erstellt und gespeichert");

    // Hidden with the animation: back into the taskbar, 30 ms a step; once hidden, at once.
    sem.HideInformation(0);
    EXPECT_FALSE(IsWindowVisible(hInfo));
    steps = AnimationSteps(windows.Take());
    ASSERT_EQ(steps.size(), static_cast<size_t>((wider.bottom - wider.top + 4) / 5));
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].move.y, wider.top + 5 * static_cast<int>(i)) << i;
        EXPECT_EQ(steps[i].nPauseMs, 30u);
    }
    sem.HideInformation(0);
    EXPECT_TRUE(AnimationSteps(windows.Take()).empty());

    // Shown again with a text far wider than the screen: cut at the screen's width. Then hidden at
    // once, as an opening menu does.
    sem.ShowText(std::string(20000, 'W').c_str());
    EXPECT_FALSE(AnimationSteps(windows.Take()).empty());
    EXPECT_EQ(WindowRect(hInfo).left, 0);
    EXPECT_EQ(WindowRect(hInfo).right, m_taskbar.right);
    sem.HideInformation(1);
    EXPECT_TRUE(AnimationSteps(windows.Take()).empty());
    EXPECT_FALSE(IsWindowVisible(hInfo));
    ExpectNothingTaken(hInfo);
}

namespace {

// Moves the mouse to a desktop point and clicks it with xdotool on the X server that shows Wine's
// desktop (whose origin is the X screen's), handling this thread's messages meanwhile so that the
// click reaches the window. False when xdotool could not be started.
bool ClickAt(POINT pt) {
    std::string command = "cmd /c start /wait /unix /usr/bin/xdotool mousemove " +
                          std::to_string(pt.x) + " " + std::to_string(pt.y) + " click 1";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi)) {
        return false;
    }
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT && GetTickCount() - start < 10000)
        Pump(50);
    DWORD exitCode = 1;
    GetExitCodeProcess(pi.hProcess, &exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Pump(300);
    return exitCode == 0;
}

// Pixels, rows top-down.
struct Picture {
    int cx = 0;                    // width
    int cy = 0;                    // height
    std::vector<COLORREF> pixels;  // cx * cy colours
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * cx + x]; }
};

// The top-left cx by cy pixels of a device context.
Picture ReadPixels(HDC hDC, int cx, int cy) {
    Picture picture{cx, cy, {}};
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) picture.pixels.push_back(GetPixel(hDC, x, y));
    return picture;
}

// A bitmap resource's pixels; empty when there is none.
Picture LoadPicture(HMODULE hModule, UINT nId) {
    const HBITMAP hBitmap = LoadBitmapA(hModule, MAKEINTRESOURCEA(nId));
    BITMAP bm = {};
    GetObjectA(hBitmap, sizeof bm, &bm);
    const HDC hDC = CreateCompatibleDC(nullptr);
    const HGDIOBJ hOld = SelectObject(hDC, hBitmap);
    const Picture picture = ReadPixels(hDC, bm.bmWidth, bm.bmHeight);
    SelectObject(hDC, hOld);
    DeleteDC(hDC);
    DeleteObject(hBitmap);
    return picture;
}

// The client area's pixels of a window as they are on the screen.
Picture ReadClient(HWND hWnd) {
    RECT client = {};
    GetClientRect(hWnd, &client);
    const HDC hDC = GetDC(hWnd);
    const Picture shot = ReadPixels(hDC, client.right, client.bottom);
    ReleaseDC(hWnd, hDC);
    return shot;
}

// True when the colour is one of the picture's near (sx, sy): scaling may round either way.
bool NearPixel(const Picture& picture, double sx, double sy, COLORREF color) {
    for (int y = static_cast<int>(sy) - 1; y <= static_cast<int>(sy) + 1; ++y) {
        for (int x = static_cast<int>(sx) - 1; x <= static_cast<int>(sx) + 1; ++x) {
            if (x >= 0 && y >= 0 && x < picture.cx && y < picture.cy && picture.At(x, y) == color)
                return true;
        }
    }
    return false;
}

}  // namespace

TEST_F(InfoDlgTest, BackgroundIsCopiedOrStretched) {
    const Picture picture = LoadPicture(stage.Module(), CInfoDlg::kBackgroundBitmapId);
    ASSERT_EQ(picture.cx, 180);
    ASSERT_EQ(picture.cy, 60);
    // The picture's frame (bottom row) differs from the rows above it.
    ASSERT_NE(picture.At(90, 59), picture.At(90, 50));

    CSEMIcon sem(stage.Module());
    sem.ShowText("Kurz");
    const HWND hInfo = InfoWnd(sem);
    ASSERT_NE(hInfo, nullptr);
    Pump(200);
    Picture shot = ReadClient(hInfo);
    ASSERT_LE(shot.cx, 180);
    ASSERT_LE(shot.cy, 60);
    ASSERT_GT(shot.cy, 3);
    // Copied: the bottom rows and right columns, where no control draws, are the picture's top-left
    // part pixel for pixel; its frame lies outside the window.
    for (int y = 0; y < shot.cy; ++y) {
        for (int x = 0; x < shot.cx; ++x) {
            if (y >= shot.cy - 3 || x >= shot.cx - 6) {
                EXPECT_EQ(shot.At(x, y), picture.At(x, y)) << x << "," << y;
            }
        }
    }

    sem.ShowText("Ein Text, der das Fenster weit über die Breite des Bildes hinaus dehnt");
    Pump(200);
    shot = ReadClient(hInfo);
    ASSERT_GT(shot.cx, 180);
    // Stretched: the whole picture over the client area, its frame along the bottom.
    const double scaleX = 180.0 / shot.cx;
    const double scaleY = 60.0 / shot.cy;
    for (int x = 0; x < shot.cx; x += 7) {
        EXPECT_EQ(shot.At(x, shot.cy - 1), picture.At(static_cast<int>(x * scaleX), 59)) << x;
    }
    for (int y = 0; y < shot.cy; y += 3) {
        const int x = shot.cx - 2;
        EXPECT_TRUE(NearPixel(picture, x * scaleX, y * scaleY, shot.At(x, y))) << y;
    }
}

TEST_F(InfoDlgTest, TextsAlertAndTheHideControl) {
    ShellRecorder shell(GetModuleHandleA(nullptr));
    ASSERT_TRUE(shell.IsActive());
    CSEMIcon sem(stage.Module());
    sem.Show();
    shell.Take();

    // Every %1 names the product; the hide control carries the current language's label.
    sem.ShowInformation(kTextTwice);
    const HWND hInfo = InfoWnd(sem);
    ASSERT_NE(hInfo, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(hInfo, CInfoDlg::kTextControlId)),
              "Tessaroth Quillmark signs for Tessaroth Quillmark.");
    EXPECT_EQ(WindowText(GetDlgItem(hInfo, CInfoDlg::kHideControlId)), "&Hide");
    EXPECT_TRUE(shell.Take().empty());

    // The alert: the tooltip on its own, then the whole icon with the alert picture.
    const HICON hAlert = LoadIconA(stage.Module(), MAKEINTRESOURCEA(kAlertIconId));
    sem.Alert("Achtung: Karte gesperrt", "Die Karte ist gesperrt");
    std::vector<ShellCall> calls = shell.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(calls[1].dwMessage, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[1].hIcon, hAlert);
    EXPECT_EQ(calls[1].tip, "Achtung: Karte gesperrt");
    EXPECT_EQ(WindowText(GetDlgItem(hInfo, CInfoDlg::kTextControlId)), "Die Karte ist gesperrt");
    EXPECT_TRUE(IsWindowVisible(hInfo));

    // A real click beside the control does nothing; one on it hides the window for good.
    const RECT r = WindowRect(hInfo);
    ASSERT_TRUE(ClickAt(POINT{r.right - 4, r.bottom - 4})) << "xdotool could not be started";
    EXPECT_TRUE(IsWindowVisible(hInfo));
    EXPECT_FALSE(sem.GetInfoDlg()->IsHiddenByUser());
    const RECT hide = WindowRect(GetDlgItem(hInfo, CInfoDlg::kHideControlId));
    ASSERT_TRUE(ClickAt(POINT{(hide.left + hide.right) / 2, (hide.top + hide.bottom) / 2}));
    EXPECT_FALSE(IsWindowVisible(hInfo));
    EXPECT_TRUE(sem.GetInfoDlg()->IsHiddenByUser());
    ExpectNothingTaken(hInfo);

    // From now on nothing shows it, while the alert still changes the icon; without a tooltip the
    // last one stays.
    windows.Take();
    shell.Take();
    sem.ShowText("Wieder da?");
    sem.ShowInformation(kTextTwice);
    sem.Alert(nullptr, "Noch gesperrt");
    EXPECT_FALSE(IsWindowVisible(hInfo));
    for (const WindowCall& call : windows.Take()) EXPECT_TRUE(call.bSleep || call.hWnd != hInfo);
    calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].tip, "Achtung: Karte gesperrt");
    EXPECT_EQ(calls[0].hIcon, hAlert);
}

TEST_F(InfoDlgTest, IdentifiedChipShowsItsTextUntilTheTrayStops) {
    CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
    mgr.Stop();
    CChipIcon* pChip = mgr.GetChipIcon("Leser 1", 0x100);
    pChip->SetIdentified(nullptr);
    EXPECT_EQ(mgr.m_pSemIcon, nullptr);  // nothing to show: no SEM icon either

    pChip->SetIdentified("Karte von Erika Mustermann");
    ASSERT_NE(mgr.m_pSemIcon, nullptr);
    const HWND hInfo = InfoWnd(*mgr.m_pSemIcon);
    ASSERT_NE(hInfo, nullptr);
    EXPECT_TRUE(IsWindowVisible(hInfo));
    EXPECT_EQ(WindowText(GetDlgItem(hInfo, CInfoDlg::kTextControlId)),
              "Karte von Erika Mustermann");
    mgr.Stop();
    EXPECT_FALSE(IsWindow(hInfo));
}

TEST_F(InfoDlgTest, AnotherThreadsWindowIsTakenOverWithoutWaiting) {
    CSEMIcon sem(stage.Module());
    const HANDLE hShown = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE hRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND hOld = nullptr;
    std::thread worker([&] {
        sem.ShowText("Vom anderen Thread");
        hOld = InfoWnd(sem);
        SetEvent(hShown);
        // Handles no messages until released, then those that came meanwhile.
        WaitForSingleObject(hRelease, 10000);
        Pump(300);
    });
    WaitForSingleObject(hShown, 10000);
    ASSERT_NE(hOld, nullptr);

    // Neither call waits for the busy thread, which would hold them for its 10 s.
    const DWORD start = GetTickCount();
    sem.HideInformation(0);
    EXPECT_FALSE(sem.GetInfoDlg()->IsShown());
    sem.ShowText("Von diesem Thread");
    EXPECT_LT(GetTickCount() - start, 2000u);
    const HWND hNew = InfoWnd(sem);
    ASSERT_NE(hNew, nullptr);
    EXPECT_TRUE(IsWindowVisible(hNew));
    EXPECT_EQ(GetWindowThreadProcessId(hNew, nullptr), GetCurrentThreadId());

    // The old window goes as soon as its thread handles messages.
    SetEvent(hRelease);
    worker.join();
    EXPECT_FALSE(IsWindow(hOld));
    CloseHandle(hShown);
    CloseHandle(hRelease);
}
