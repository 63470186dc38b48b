// The information window: its place beside the taskbar on every edge, its slides out of and back
// into the taskbar, and under Wine's desktop with its real taskbar along the bottom the texts, the
// alert, the background picture read back from the screen and a real click on the hide control.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>
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

// The window's animation steps made on the test's thread, each "x,y wxh pause": its moves to the
// top, shown and not activated, with the pause after each, which is noted and not slept.
Lines g_steps;
DWORD g_nRecordingThread = 0;
decltype(&SetWindowPos) g_pfnSetWindowPos = nullptr;
BOOL WINAPI RecordingSetWindowPos(HWND hWnd, HWND hAfter, int x, int y, int cx, int cy,
                                  UINT nFlags) {
    if (GetCurrentThreadId() == g_nRecordingThread && hAfter == HWND_TOP &&
        nFlags == (SWP_ASYNCWINDOWPOS | SWP_SHOWWINDOW | SWP_NOACTIVATE))
        g_steps.push_back(std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) +
                          "x" + std::to_string(cy));
    return g_pfnSetWindowPos(hWnd, hAfter, x, y, cx, cy, nFlags);
}
void WINAPI RecordingSleep(DWORD nMs) {
    if (GetCurrentThreadId() == g_nRecordingThread && !g_steps.empty() &&
        std::count(g_steps.back().begin(), g_steps.back().end(), ' ') == 1)
        g_steps.back() += " " + std::to_string(nMs);
}
// The steps since the last look.
Lines Steps() { return std::exchange(g_steps, {}); }

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
        g_steps.clear();
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

// A row of pixels of a device context, from the left.
std::vector<COLORREF> Row(HDC hDC, int y, int cx) {
    std::vector<COLORREF> row;
    for (int x = 0; x < cx; ++x) row.push_back(GetPixel(hDC, x, y));
    return row;
}

// A real click of the user at a desktop point; waits until the pointer got there and handles the
// messages it caused. False when the pointer did not get there.
bool ClickAt(POINT pt) {
    PlayAsUser([pt] { Click(pt, 1); });
    POINT now = {};
    const bool bThere = PumpUntil(
        [&] { return GetCursorPos(&now) && now.x == pt.x && now.y == pt.y; }, kUserWaitMs);
    Drain();
    return bThere;
}

}  // namespace

TEST_F(InfoWindowTest, BackgroundIsCopiedOrStretched) {
    const HBITMAP hBitmap = LoadBitmapA(hLib, MAKEINTRESOURCEA(CInfoDlg::kBackgroundBitmapId));
    const HDC hMemory = CreateCompatibleDC(nullptr);
    const HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
    std::vector<std::vector<COLORREF>> picture;
    for (int y = 0; y < 60; ++y) picture.push_back(Row(hMemory, y, 180));
    SelectObject(hMemory, hOld);
    DeleteDC(hMemory);
    DeleteObject(hBitmap);
    // The picture's frame (bottom row) differs from the rows above it.
    ASSERT_NE(picture[59][90], picture[50][90]);
    CSEMIcon sem(hLib);
    // The client area's bottom row, where no control draws, as on the screen: copied, it is the
    // picture's row at that height pixel for pixel, the frame outside the window; stretched, the
    // whole picture lies over the window, its frame along the bottom.
    const auto bottomIs = [&](bool bStretched) {
        const HWND hInfo = InfoWnd(sem);
        RECT client = {};
        GetClientRect(hInfo, &client);
        const HDC hDC = GetDC(hInfo);
        const std::vector<COLORREF> row = Row(hDC, client.bottom - 1, client.right);
        ReleaseDC(hInfo, hDC);
        bool bSame = client.bottom > 3 && client.bottom <= 60 && (client.right > 180) == bStretched;
        for (int x = 0; bSame && x < client.right; x += bStretched ? 7 : 1)
            bSame = row[x] == (bStretched ? picture[59][x * 180 / client.right]
                                          : picture[client.bottom - 1][x]);
        return bSame;
    };
    sem.ShowText("Kurz");
    EXPECT_TRUE(PumpUntil([&] { return bottomIs(false); }, 3000));
    sem.ShowText("Ein Text, der das Fenster weit über die Breite des Bildes hinaus dehnt");
    EXPECT_TRUE(PumpUntil([&] { return bottomIs(true); }, 3000));
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
    EXPECT_TRUE(Steps().empty());
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
