// The information window: its place beside the taskbar on every edge, its slides out of and back
// into the taskbar, and under Wine's desktop the texts, the alert and a real click on the hide
// control.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>
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
constexpr UINT kTextTwice = 7001;  // a text of the staged language library naming the product twice

// The window's animation steps on the test's thread, each {x, y, width, height, pause}; pauses
// are noted, not slept.
using Steps = std::vector<std::array<int, 5>>;
Steps g_steps;
DWORD g_nRecordingThread = 0;
decltype(&SetWindowPos) g_pfnSetWindowPos = nullptr;
BOOL WINAPI RecordingSetWindowPos(HWND hWnd, HWND hAfter, int x, int y, int cx, int cy, UINT n) {
    if (GetCurrentThreadId() == g_nRecordingThread && hAfter == HWND_TOP &&
        n == (SWP_ASYNCWINDOWPOS | SWP_SHOWWINDOW | SWP_NOACTIVATE))
        g_steps.push_back({x, y, cx, cy, -1});
    return g_pfnSetWindowPos(hWnd, hAfter, x, y, cx, cy, n);
}
void WINAPI RecordingSleep(DWORD nMs) {
    if (GetCurrentThreadId() == g_nRecordingThread && !g_steps.empty() && g_steps.back()[4] < 0)
        g_steps.back()[4] = static_cast<int>(nMs);
}
Steps TakeSteps() { return std::exchange(g_steps, {}); }

std::string ControlText(HWND hInfo, int nId) {
    char text[256] = "";
    GetWindowTextA(GetDlgItem(hInfo, nId), text, sizeof text);
    return text;
}

// A copy of the built library (dialog, pictures) with a language library of our own beside it,
// the library's module and text table for the test's life; this thread's window moves recorded.
class InfoWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(stage.Copy("enuSEMk.dll", "tstSEMk.dll"));
        ASSERT_TRUE(WriteStringBlocks(stage("tstSEMk.dll"),
                                      BlocksOf({{kTextTwice, L"%1 signs for %1."}}), false));
        ASSERT_NE(hLib = g_hLibInstance = stage.Load("velTrayLib.dll"), nullptr);
        ASSERT_EQ(g_textTable.Load(hLib), ST_OK);
        g_pfnSetWindowPos = reinterpret_cast<decltype(g_pfnSetWindowPos)>(setWindowPos.Original());
        g_nRecordingThread = GetCurrentThreadId();
        g_steps.clear();
    }
    void TearDown() override {
        // A folder without language libraries leaves the table empty, as the other tests expect.
        g_textTable.Load(GetModuleHandleA("kernel32.dll"));
        g_hLibInstance = GetModuleHandleA(nullptr);
    }
    TempFolder stage{"velTrayLib.dll"};  // the library and texts the window is made from
    HMODULE hLib = nullptr;              // the staged library
    // The window's moves and pauses, recorded.
    CImportPatch setWindowPos{nullptr, "user32.dll", "SetWindowPos",
                              reinterpret_cast<void*>(&RecordingSetWindowPos)};
    CImportPatch sleep{nullptr, "kernel32.dll", "Sleep",
                       reinterpret_cast<void*>(&RecordingSleep)};  // noted, not slept
};

}  // namespace

TEST(InfoPlacement, EveryEdgeInTheOrderOfTheRules) {
    // Screen width (the height is 768), taskbar rectangle (none when empty), edge and place.
    const struct {
        int w;
        RECT taskbar;
        int nEdge, x, y;
    } cases[] = {
        {1024, {0, 738, 1024, 768}, kEdgeBottom, 824, 678},
        {1024, {984, 0, 1024, 768}, kEdgeRight, 784, 706},
        {1024, {0, 0, 40, 768}, kEdgeLeft, 40, 706},
        {1024, {0, 0, 1024, 30}, kEdgeTop, 824, 30},
        {1024, {0, 0, 8, 8}, kEdgeBottom, 824, 674},  // an unknown place
        {1024, {}, kEdgeBottom, 824, 708},
        // The halves are compared exactly: a bar from the middle on counts as right or left.
        {1024, {512, 0, 1024, 768}, kEdgeRight, 312, 706},
        {1024, {0, 0, 512, 768}, kEdgeLeft, 512, 706},
        {1023, {0, 0, 512, 768}, kEdgeTop, 312, 768},
        {1024, {0, 384, 1000, 768}, kEdgeBottom, 800, 324},
        {1024, {0, 0, 1024, 768}, kEdgeTop, 824, 768},
        {1024, {600, 500, 1024, 768}, kEdgeRight, 400, 706},  // right is tested before bottom
        {1280, {0, 0, 8, 9}, kEdgeLeft, 8, -53},  // only exactly (0, 0, 8, 8) is unknown
    };
    for (const auto& c : cases) {
        const InfoPlacement p =
            PlaceInfoWindow(c.w, 768, c.taskbar.right != 0 ? &c.taskbar : nullptr, 200, 60);
        EXPECT_EQ(std::vector<int>({p.nEdge, p.x, p.y}), std::vector<int>({c.nEdge, c.x, c.y}))
            << &c - cases;
    }
    // The animations' fallback: a frame around the client area, above an assumed taskbar.
    const RECT r = FallbackWindowRect(1024, 768, 198, 58);
    EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}),
              std::vector<LONG>({824, 674, 1024, 734}));
}

TEST_F(InfoWindowTest, SlidesOutOfTheTaskbarOnEveryEdgeAndBack) {
    // A step of d pixels puts the window at (left + ax * d + bx, top + ay * d) with the width
    // w + aw * d + bw. Sliding in, d runs from the whole height (or width) down, pausing 25 ms.
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
        const RECT& t = c.taskbar;
        const HWND hTaskbar =
            CreateWindowExA(0, "STATIC", "", WS_POPUP, t.left, t.top, t.right - t.left,
                            t.bottom - t.top, nullptr, nullptr, nullptr, nullptr);
        CInfoDlg dlg;
        dlg.SetTaskbar(hTaskbar);
        dlg.SetText("Die Karte wurde erkannt");
        ASSERT_TRUE(dlg.Create());
        EXPECT_EQ(dlg.GetEdge(), c.nEdge);
        const RECT r = WindowRect(dlg.GetSafeHwnd());
        const int w = r.right - r.left, h = r.bottom - r.top, nWhole = c.ay != 0 ? h : w;
        const auto step = [&](int d, int nPause) {
            return std::array<int, 5>{r.left + c.ax * d + c.bx, static_cast<int>(r.top + c.ay * d),
                                      w + c.aw * d + c.bw, h, nPause};
        };
        Steps in, out;
        for (int d = nWhole; d > 0; d -= c.nStep) in.push_back(step(d, 25));
        for (int d = 0; d < nWhole; d += c.nStep) out.push_back(step(d, c.nHidePause));
        EXPECT_EQ(TakeSteps(), in) << c.nEdge;
        dlg.Hide(HideMode::kSlide);
        EXPECT_EQ(TakeSteps(), out) << c.nEdge;
        EXPECT_FALSE(IsWindowVisible(dlg.GetSafeHwnd()));
        dlg.DestroyWindow();
        DestroyWindow(hTaskbar);
    }
}

TEST_F(InfoWindowTest, FollowsItsTextsOnTheTaskbarUntilTheUserHidesIt) {
    const RECT taskbar = WindowRect(FindWindowA("Shell_TrayWnd", ""));
    ASSERT_GT(taskbar.right, 0) << "the tests run in Wine's desktop with its taskbar";
    ShellRecorder shell(GetModuleHandleA(nullptr));
    CSEMIcon sem(hLib);
    sem.Show();
    shell.Take();
    sem.ShowText(nullptr);
    EXPECT_EQ(sem.GetInfoDlg(), nullptr);
    HWND hInfo = nullptr;
    // Neither activation nor focus goes to the window.
    const HWND hForeground = GetForegroundWindow();
    const auto expectNothingTaken = [&] {
        EXPECT_EQ(GetForegroundWindow(), hForeground);
        const HWND hFocus = GetFocus();
        EXPECT_TRUE(hFocus == nullptr || (hFocus != hInfo && GetParent(hFocus) != hInfo));
        EXPECT_FALSE(IsWindowEnabled(hInfo));
    };
    // Each text: on the real taskbar along the bottom, at its right end, topmost, cut at the
    // screen's width. A new text while shown takes its size and place at once.
    const std::string wide(20000, 'W');
    const struct {
        const char* pszText;
        bool bSlides;
    } texts[] = {{"Kurz", true},
                 {"Die Signatur wurde erfolgreich erstellt und gespeichert", false},
                 {wide.c_str(), false}};
    // The background picture (180 x 60), whose bottom row is its frame. A window no wider shows it
    // pixel for pixel, a wider one stretched: along its bottom row, the frame.
    const HBITMAP hPicture = LoadBitmapA(hLib, MAKEINTRESOURCEA(CInfoDlg::kBackgroundBitmapId));
    const HDC hPictureDC = CreateCompatibleDC(nullptr);
    SelectObject(hPictureDC, hPicture);
    const auto showsBackground = [&] {
        RECT client = {};
        GetClientRect(hInfo, &client);
        const HDC hDC = GetDC(hInfo);
        const int y = client.bottom - 1, w = client.right;
        bool bSame = y > 1 && y < 60;
        for (int x = 0; bSame && x<w; x += w> 180 ? 7 : 1)
            bSame = GetPixel(hDC, x, y) ==
                    (w > 180 ? GetPixel(hPictureDC, x * 180 / w, 59) : GetPixel(hPictureDC, x, y));
        ReleaseDC(hInfo, hDC);
        return bSame;
    };
    LONG nWidth = 0;
    for (const auto& t : texts) {
        sem.ShowText(t.pszText);
        ASSERT_NE(sem.GetInfoDlg(), nullptr);
        hInfo = sem.GetInfoDlg()->GetSafeHwnd();
        EXPECT_TRUE(IsWindowVisible(hInfo));
        EXPECT_EQ(!TakeSteps().empty(), t.bSlides);
        const RECT r = WindowRect(hInfo);
        EXPECT_EQ(std::vector<LONG>({r.right, r.bottom}),
                  std::vector<LONG>({taskbar.right, taskbar.top}));
        EXPECT_GT(r.right - r.left, nWidth);
        nWidth = r.right - r.left;
        EXPECT_NE(GetWindowLongA(hInfo, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
        EXPECT_EQ(ControlText(hInfo, CInfoDlg::kTextControlId), std::string(t.pszText, 0, 255));
        EXPECT_TRUE(t.pszText == wide.c_str() || PumpUntil(showsBackground, 3000));
        expectNothingTaken();
    }
    EXPECT_EQ(WindowRect(hInfo).left, 0);
    DeleteDC(hPictureDC);
    DeleteObject(hPicture);
    // Hidden with the slide, then (hidden already) at once.
    for (const bool bSlides : {true, false}) {
        sem.HideInformation(HideMode::kSlide);
        EXPECT_EQ(!TakeSteps().empty(), bSlides);
    }
    // Every %1 names the product; the hide control carries the current language's label. Hidden
    // at once, as an opening menu does.
    sem.ShowInformation(kTextTwice);
    EXPECT_EQ(ControlText(hInfo, CInfoDlg::kTextControlId),
              "Tessaroth Quillmark signs for Tessaroth Quillmark.");
    EXPECT_EQ(ControlText(hInfo, CInfoDlg::kHideControlId), "&Hide");
    TakeSteps();
    sem.HideInformation(HideMode::kAtOnce);
    EXPECT_TRUE(TakeSteps().empty());
    EXPECT_FALSE(IsWindowVisible(hInfo));
    EXPECT_TRUE(shell.Take().empty());
    // The alert: the tooltip on its own, then the whole icon with the alert picture; it shows the
    // window again.
    const PictureNames names = {{LoadIconA(hLib, MAKEINTRESOURCEA(215)), "215"}};
    sem.Alert("Achtung: Karte gesperrt", "Die Karte ist gesperrt");
    EXPECT_EQ(Describe(shell.Take(), names), (Lines{"modify T 'Achtung: Karte gesperrt'",
                                                    "modify MIT 215 'Achtung: Karte gesperrt'"}));
    EXPECT_EQ(ControlText(hInfo, CInfoDlg::kTextControlId), "Die Karte ist gesperrt");
    EXPECT_TRUE(IsWindowVisible(hInfo));
    // A real click on the hide control hides the window for good.
    const RECT hide = WindowRect(GetDlgItem(hInfo, CInfoDlg::kHideControlId));
    PlayAsUser([&] {
        Click(POINT{(hide.left + hide.right) / 2, (hide.top + hide.bottom) / 2}, 1);
    });
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(hInfo); }, kUserWaitMs));
    expectNothingTaken();
    // From now on nothing shows it, while the alert still changes the icon; without a tooltip the
    // last one stays.
    TakeSteps();
    sem.ShowText("Wieder da?");
    sem.ShowInformation(kTextTwice);
    sem.Alert(nullptr, "Noch gesperrt");
    EXPECT_FALSE(IsWindowVisible(hInfo));
    EXPECT_TRUE(TakeSteps().empty());
    EXPECT_EQ(Describe(shell.Take(), names), Lines{"modify MIT 215 'Achtung: Karte gesperrt'"});
}
