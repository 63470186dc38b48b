// The information window: its place beside the taskbar on every edge, its slides out of and back
// into the taskbar, and under Wine's desktop with its real taskbar along the bottom the texts, the
// alert, the background picture read back from the screen and a real click on the hide control.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "DesktopUser.h"
#include "ImportPatch.h"
#include "TestSupport.h"
#include "core/velTrayLibApp.h"
#include "infownd/InfoDlg.h"
#include "infownd/InfoPlacement.h"
#include "text/TextTable.h"
#include "tray/SEMIcon.h"

namespace {

using Lines = std::vector<std::string>;
// A text id of the staged language library whose text names the product twice.
constexpr UINT kTextTwice = 7001;

// The calls of SetWindowPos that this program's code makes on the test's thread, and its pauses,
// which are noted and not slept.
struct WindowCall {
    HWND hWnd;          // the window moved; null for a pause
    HWND hInsertAfter;  // the z-order given
    int x, y, cx, cy;   // place and size given
    UINT nFlags;        // SWP_* flags, or the milliseconds of a pause
};
std::vector<WindowCall> g_calls;
DWORD g_nRecordingThread = 0;
decltype(&SetWindowPos) g_pfnSetWindowPos = nullptr;
BOOL WINAPI RecordingSetWindowPos(HWND hWnd, HWND hAfter, int x, int y, int cx, int cy,
                                  UINT nFlags) {
    if (GetCurrentThreadId() == g_nRecordingThread)
        g_calls.push_back({hWnd, hAfter, x, y, cx, cy, nFlags});
    return g_pfnSetWindowPos(hWnd, hAfter, x, y, cx, cy, nFlags);
}
void WINAPI RecordingSleep(DWORD nMs) {
    if (GetCurrentThreadId() == g_nRecordingThread)
        g_calls.push_back({nullptr, nullptr, 0, 0, 0, 0, nMs});
}

// The animation steps among the recorded calls since the last look, each as "x,y wxh pause".
Lines Steps() {
    Lines steps;
    for (const WindowCall& call : g_calls) {
        if (call.hWnd != nullptr &&
            call.nFlags == (SWP_ASYNCWINDOWPOS | SWP_SHOWWINDOW | SWP_NOACTIVATE) &&
            call.hInsertAfter == HWND_TOP) {
            steps.push_back(std::to_string(call.x) + "," + std::to_string(call.y) + " " +
                            std::to_string(call.cx) + "x" + std::to_string(call.cy));
        } else if (call.hWnd == nullptr && !steps.empty() &&
                   steps.back().find(' ', steps.back().find(' ') + 1) == std::string::npos) {
            steps.back() += " " + std::to_string(call.nFlags);
        }
    }
    g_calls.clear();
    return steps;
}

RECT WindowRect(HWND hWnd) {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(hWnd, &rect);
    return rect;
}

std::string ControlText(HWND hInfo, int nId) {
    char text[256] = "";
    GetWindowTextA(GetDlgItem(hInfo, nId), text, sizeof text);
    return text;
}

// Handles the messages that are due.
void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// A folder with a copy of the built library, which supplies the dialog template, the background
// picture and the alert picture, and a language library with a text of our own. For its life the
// copy is the library's module, the text table reads the language library, and the window calls
// of this thread are recorded.
class InfoWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(stage.Copy("enuSEMk.dll", "tstSEMk.dll"));
        ASSERT_TRUE(WriteStringBlocks(stage("tstSEMk.dll"),
                                      BlocksOf({{kTextTwice, L"%1 signs for %1."}}), false));
        hLib = stage.Load("velTrayLib.dll");
        ASSERT_NE(hLib, nullptr);
        g_hLibInstance = hLib;
        ASSERT_EQ(g_textTable.Load(hLib), ST_OK);
        ASSERT_TRUE(setWindowPos.IsActive() && sleep.IsActive());
        g_pfnSetWindowPos = reinterpret_cast<decltype(g_pfnSetWindowPos)>(setWindowPos.Original());
        g_nRecordingThread = GetCurrentThreadId();
        g_calls.clear();
        const HWND hTaskbar = FindWindowA("Shell_TrayWnd", "");
        ASSERT_NE(hTaskbar, nullptr) << "the tests run in Wine's desktop with its taskbar";
        taskbar = WindowRect(hTaskbar);
        hForeground = GetForegroundWindow();
    }
    void TearDown() override {
        // A folder without language libraries leaves the table empty, as the other tests expect.
        g_textTable.Load(GetModuleHandleA("kernel32.dll"));
        g_hLibInstance = GetModuleHandleA(nullptr);
    }
    // Neither activation nor focus went to the window.
    void ExpectNothingTaken(HWND hInfo) {
        EXPECT_EQ(GetForegroundWindow(), hForeground);
        const HWND hFocus = GetFocus();
        EXPECT_TRUE(hFocus == nullptr || (hFocus != hInfo && GetParent(hFocus) != hInfo));
        EXPECT_FALSE(IsWindowEnabled(hInfo));
    }
    static HWND InfoWnd(const CSEMIcon& sem) {
        return sem.GetInfoDlg() != nullptr ? sem.GetInfoDlg()->GetSafeHwnd() : nullptr;
    }

    TempFolder stage{"velTrayLib.dll"};  // the library and texts the window is made from
    HMODULE hLib = nullptr;              // the staged library
    // The window's moves and pauses, recorded.
    CImportPatch setWindowPos{nullptr, "user32.dll", "SetWindowPos",
                              reinterpret_cast<void*>(&RecordingSetWindowPos)};
    CImportPatch sleep{nullptr, "kernel32.dll", "Sleep",
                       reinterpret_cast<void*>(&RecordingSleep)};  // noted, not slept
    RECT taskbar = {};                                             // the real taskbar's rectangle
    HWND hForeground = nullptr;  // the foreground window before the test
};

}  // namespace

TEST(InfoPlacement, EveryEdgeInTheOrderOfTheRules) {
    const struct {
        const char* pszName;
        int w;          // screen width; the height is 768
        bool bTaskbar;  // whether there is a taskbar
        RECT taskbar;   // its rectangle
        int nEdge, x, y;
    } cases[] = {
        {"bottom", 1024, true, {0, 738, 1024, 768}, kEdgeBottom, 824, 678},
        {"right", 1024, true, {984, 0, 1024, 768}, kEdgeRight, 784, 706},
        {"left", 1024, true, {0, 0, 40, 768}, kEdgeLeft, 40, 706},
        {"top", 1024, true, {0, 0, 1024, 30}, kEdgeTop, 824, 30},
        {"unknown place", 1024, true, {0, 0, 8, 8}, kEdgeBottom, 824, 674},
        {"none", 1024, false, {}, kEdgeBottom, 824, 708},
        // The halves are compared exactly: a bar from the middle on counts as right or left.
        {"right half", 1024, true, {512, 0, 1024, 768}, kEdgeRight, 312, 706},
        {"left half", 1024, true, {0, 0, 512, 768}, kEdgeLeft, 512, 706},
        {"past half", 1023, true, {0, 0, 512, 768}, kEdgeTop, 312, 768},
        {"lower half", 1024, true, {0, 384, 1000, 768}, kEdgeBottom, 800, 324},
        {"whole screen", 1024, true, {0, 0, 1024, 768}, kEdgeTop, 824, 768},
        // Right is tested before bottom: a bar in the bottom-right quarter is on the right.
        {"corner", 1024, true, {600, 500, 1024, 768}, kEdgeRight, 400, 706},
        // Only exactly (0, 0, 8, 8) is an unknown place.
        {"small", 1280, true, {0, 0, 8, 9}, kEdgeLeft, 8, -53},
    };
    for (const auto& c : cases) {
        const InfoPlacement place =
            PlaceInfoWindow(c.w, 768, c.bTaskbar ? &c.taskbar : nullptr, 200, 60);
        EXPECT_EQ(std::vector<int>({place.nEdge, place.x, place.y}),
                  std::vector<int>({c.nEdge, c.x, c.y}))
            << c.pszName;
    }
    // The animations' fallback: a frame around the client area, above an assumed taskbar.
    const RECT fallback = FallbackWindowRect(1024, 768, 198, 58);
    EXPECT_EQ(std::vector<LONG>({fallback.left, fallback.top, fallback.right, fallback.bottom}),
              std::vector<LONG>({824, 674, 1024, 734}));
}

TEST_F(InfoWindowTest, SlidesOutOfTheTaskbarOnEveryEdgeAndBack) {
    // A step of d pixels puts the window at (left + ax * d + bx, top + ay * d) with the width
    // w + aw * d + bw, the final rectangle being (left, top, w, h). Sliding in, d runs from the
    // whole height (or width) down in steps, pausing 25 ms each; hiding, from 0 up.
    const struct {
        RECT taskbar;
        int nEdge, ax, bx, ay, aw, bw, nStep, nHidePause;
    } cases[] = {
        {{0, 738, 1024, 768}, kEdgeBottom, 0, 0, 1, 0, 0, 5, 30},
        {{0, 0, 1024, 30}, kEdgeTop, 0, 0, -1, 0, 0, 5, 30},
        {{984, 0, 1024, 768}, kEdgeRight, 1, 0, 0, -1, 3, 10, 10},
        {{0, 0, 40, 768}, kEdgeLeft, 0, -3, 0, -1, 3, 10, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nEdge);
        const HWND hTaskbar =
            CreateWindowExA(0, "STATIC", "", WS_POPUP, c.taskbar.left, c.taskbar.top,
                            c.taskbar.right - c.taskbar.left, c.taskbar.bottom - c.taskbar.top,
                            nullptr, nullptr, nullptr, nullptr);
        CInfoDlg dlg;
        dlg.SetTaskbar(hTaskbar);
        dlg.SetText("Die Karte wurde erkannt");
        ASSERT_TRUE(dlg.Create());
        EXPECT_EQ(dlg.GetEdge(), c.nEdge);
        const RECT r = WindowRect(dlg.GetSafeHwnd());
        const int w = r.right - r.left, h = r.bottom - r.top, nWhole = c.ay != 0 ? h : w;
        const auto step = [&](int d, int nPause) {
            return std::to_string(r.left + c.ax * d + c.bx) + "," +
                   std::to_string(r.top + c.ay * d) + " " + std::to_string(w + c.aw * d + c.bw) +
                   "x" + std::to_string(h) + " " + std::to_string(nPause);
        };
        Lines in, out;
        for (int d = nWhole; d > 0; d -= c.nStep) in.push_back(step(d, 25));
        for (int d = 0; d < nWhole; d += c.nStep) out.push_back(step(d, c.nHidePause));
        EXPECT_EQ(Steps(), in);
        dlg.Hide(HideMode::kSlide);
        EXPECT_EQ(Steps(), out);
        EXPECT_FALSE(IsWindowVisible(dlg.GetSafeHwnd()));
        dlg.DestroyWindow();
        DestroyWindow(hTaskbar);
    }
}

TEST_F(InfoWindowTest, StandsOnTheTaskbarAndFollowsItsTexts) {
    CSEMIcon sem(hLib);
    sem.ShowText(nullptr);
    sem.HideInformation(HideMode::kSlide);
    EXPECT_EQ(sem.GetInfoDlg(), nullptr);
    sem.ShowText("Die Karte wurde erkannt");
    const HWND hInfo = InfoWnd(sem);
    ASSERT_NE(hInfo, nullptr);
    EXPECT_TRUE(IsWindowVisible(hInfo));
    const RECT r = WindowRect(hInfo);
    // On the real taskbar along the bottom, at its right end, topmost; it rose out of it.
    EXPECT_EQ(r.right, taskbar.right);
    EXPECT_EQ(r.bottom, taskbar.top);
    EXPECT_NE(GetWindowLongA(hInfo, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(Steps().size(), static_cast<size_t>((r.bottom - r.top + 4) / 5));
    ExpectNothingTaken(hInfo);
    // A new, longer text while shown: new size and place at once.
    sem.ShowText("Die Signatur wurde erfolgreich erstellt und gespeichert");
    EXPECT_TRUE(Steps().empty());
    const RECT wider = WindowRect(hInfo);
    EXPECT_GT(wider.right - wider.left, r.right - r.left);
    EXPECT_EQ(wider.right, taskbar.right);
    EXPECT_EQ(wider.bottom, taskbar.top);
    EXPECT_EQ(ControlText(hInfo, CInfoDlg::kTextControlId),
              "Die Signatur wurde erfolgreich erstellt und gespeichert");
    // Hidden with the slide; once hidden, at once.
    sem.HideInformation(HideMode::kSlide);
    EXPECT_FALSE(Steps().empty());
    sem.HideInformation(HideMode::kSlide);
    EXPECT_TRUE(Steps().empty());
    // Shown again with a text far wider than the screen: cut at the screen's width. Then hidden at
    // once, as an opening menu does.
    sem.ShowText(std::string(20000, 'W').c_str());
    EXPECT_FALSE(Steps().empty());
    EXPECT_EQ(WindowRect(hInfo).left, 0);
    EXPECT_EQ(WindowRect(hInfo).right, taskbar.right);
    sem.HideInformation(HideMode::kAtOnce);
    EXPECT_TRUE(Steps().empty());
    EXPECT_FALSE(IsWindowVisible(hInfo));
    ExpectNothingTaken(hInfo);
}

namespace {

// Pixels, rows top-down.
struct Picture {
    int cx = 0, cy = 0;            // size
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

// A real click of the user at a desktop point; waits until the pointer got there and handles the
// messages it caused. False when the pointer did not get there.
bool ClickAt(POINT pt) {
    PlayAsUser([pt] { Click(pt, 1); });
    const bool bThere = PumpUntil(
        [pt] {
            POINT now = {};
            return GetCursorPos(&now) && now.x == pt.x && now.y == pt.y;
        },
        kUserWaitMs);
    Drain();
    return bThere;
}

}  // namespace

TEST_F(InfoWindowTest, BackgroundIsCopiedOrStretched) {
    const HBITMAP hBitmap = LoadBitmapA(hLib, MAKEINTRESOURCEA(CInfoDlg::kBackgroundBitmapId));
    const HDC hMemory = CreateCompatibleDC(nullptr);
    const HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
    const Picture picture = ReadPixels(hMemory, 180, 60);
    SelectObject(hMemory, hOld);
    DeleteDC(hMemory);
    DeleteObject(hBitmap);
    // The picture's frame (bottom row) differs from the rows above it.
    ASSERT_NE(picture.At(90, 59), picture.At(90, 50));
    CSEMIcon sem(hLib);
    Picture shot;
    // Copied: the bottom rows and right columns, where no control draws, are the picture's
    // top-left part pixel for pixel; its frame lies outside the window.
    const auto copied = [&] {
        for (int y = 0; y < shot.cy; ++y) {
            for (int x = 0; x < shot.cx; ++x) {
                if ((y >= shot.cy - 3 || x >= shot.cx - 6) && shot.At(x, y) != picture.At(x, y))
                    return false;
            }
        }
        return shot.cy > 3 && shot.cx <= 180 && shot.cy <= 60;
    };
    // Stretched: the whole picture over the client area, its frame along the bottom.
    const auto stretched = [&] {
        const double scaleX = 180.0 / shot.cx, scaleY = 60.0 / shot.cy;
        for (int x = 0; x < shot.cx; x += 7) {
            if (shot.At(x, shot.cy - 1) != picture.At(static_cast<int>(x * scaleX), 59))
                return false;
        }
        for (int y = 0; y < shot.cy; y += 3) {
            if (!NearPixel(picture, (shot.cx - 2) * scaleX, y * scaleY, shot.At(shot.cx - 2, y)))
                return false;
        }
        return shot.cx > 180;
    };
    sem.ShowText("Kurz");
    EXPECT_TRUE(PumpUntil([&] { return shot = ReadClient(InfoWnd(sem)), copied(); }, 3000));
    sem.ShowText("Ein Text, der das Fenster weit über die Breite des Bildes hinaus dehnt");
    EXPECT_TRUE(PumpUntil([&] { return shot = ReadClient(InfoWnd(sem)), stretched(); }, 3000));
}

TEST_F(InfoWindowTest, TextsAlertAndTheHideControl) {
    ShellRecorder shell(GetModuleHandleA(nullptr));
    ASSERT_TRUE(shell.IsActive());
    CSEMIcon sem(hLib);
    sem.Show();
    shell.Take();
    // Every %1 names the product; the hide control carries the current language's label.
    sem.ShowInformation(kTextTwice);
    const HWND hInfo = InfoWnd(sem);
    ASSERT_NE(hInfo, nullptr);
    EXPECT_EQ(ControlText(hInfo, CInfoDlg::kTextControlId),
              "Tessaroth Quillmark signs for Tessaroth Quillmark.");
    EXPECT_EQ(ControlText(hInfo, CInfoDlg::kHideControlId), "&Hide");
    EXPECT_TRUE(shell.Take().empty());
    // The alert: the tooltip on its own, then the whole icon with the alert picture.
    const PictureNames names = {{LoadIconA(hLib, MAKEINTRESOURCEA(215)), "215"}};
    sem.Alert("Achtung: Karte gesperrt", "Die Karte ist gesperrt");
    EXPECT_EQ(Describe(shell.Take(), names), (Lines{"modify T 'Achtung: Karte gesperrt'",
                                                    "modify MIT 215 'Achtung: Karte gesperrt'"}));
    EXPECT_EQ(ControlText(hInfo, CInfoDlg::kTextControlId), "Die Karte ist gesperrt");
    EXPECT_TRUE(IsWindowVisible(hInfo));
    // A real click beside the control does nothing; one on it hides the window for good.
    const RECT r = WindowRect(hInfo);
    ASSERT_TRUE(ClickAt(POINT{r.right - 4, r.bottom - 4})) << "xdotool could not click";
    EXPECT_TRUE(IsWindowVisible(hInfo));
    EXPECT_FALSE(sem.GetInfoDlg()->IsHiddenByUser());
    const RECT hide = WindowRect(GetDlgItem(hInfo, CInfoDlg::kHideControlId));
    ASSERT_TRUE(ClickAt(POINT{(hide.left + hide.right) / 2, (hide.top + hide.bottom) / 2}));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(hInfo); }, kUserWaitMs));
    EXPECT_TRUE(sem.GetInfoDlg()->IsHiddenByUser());
    ExpectNothingTaken(hInfo);
    // From now on nothing shows it, while the alert still changes the icon; without a tooltip the
    // last one stays.
    Steps();
    sem.ShowText("Wieder da?");
    sem.ShowInformation(kTextTwice);
    sem.Alert(nullptr, "Noch gesperrt");
    EXPECT_FALSE(IsWindowVisible(hInfo));
    for (const WindowCall& call : g_calls) EXPECT_NE(call.hWnd, hInfo);
    EXPECT_EQ(Describe(shell.Take(), names), Lines{"modify MIT 215 'Achtung: Karte gesperrt'"});
}

TEST_F(InfoWindowTest, AnotherThreadsWindowIsTakenOverWithoutWaiting) {
    CSEMIcon sem(hLib);
    const HANDLE hShown = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE hRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND hOld = nullptr;
    bool bOldGone = false;
    std::thread worker([&] {
        sem.ShowText("Vom anderen Thread");
        hOld = InfoWnd(sem);
        SetEvent(hShown);
        // Handles no messages until released, then those that come, until its window is gone.
        WaitForSingleObject(hRelease, 10000);
        bOldGone = PumpUntil([&] { return !IsWindow(hOld); }, 5000);
    });
    WaitForSingleObject(hShown, 10000);
    ASSERT_NE(hOld, nullptr);
    // Neither call waits for the busy thread, which would hold them for its 10 s.
    const DWORD nStart = GetTickCount();
    sem.HideInformation(HideMode::kSlide);
    EXPECT_FALSE(sem.GetInfoDlg()->IsShown());
    sem.ShowText("Von diesem Thread");
    EXPECT_LT(GetTickCount() - nStart, 2000u);
    const HWND hNew = InfoWnd(sem);
    ASSERT_NE(hNew, nullptr);
    EXPECT_TRUE(IsWindowVisible(hNew));
    EXPECT_EQ(GetWindowThreadProcessId(hNew, nullptr), GetCurrentThreadId());
    // The old window goes as soon as its thread handles messages.
    SetEvent(hRelease);
    worker.join();
    EXPECT_TRUE(bOldGone);
    CloseHandle(hShown);
    CloseHandle(hRelease);
}
