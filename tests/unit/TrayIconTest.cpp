// The notification-area primitive: what reaches the shell for each operation,
// and how the callback window dispatches the shell's mouse notifications.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ShellRecorder.h"
#include "core/velTrayLibApp.h"
#include "tray/TrayCallbackWnd.h"
#include "tray/TrayHandler.h"
#include "tray/TrayIcon.h"

namespace {

class TrayIconTest : public ::testing::Test {
  protected:
    TrayIconTest() : recorder(GetModuleHandleA(nullptr)) {}
    void SetUp() override { ASSERT_TRUE(recorder.IsActive()); }

    // Checks one recorded call against what the icon must have sent.
    static void ExpectCall(const ShellCall& call, DWORD dwMessage, UINT uFlags) {
        EXPECT_EQ(call.dwMessage, dwMessage);
        EXPECT_EQ(call.uFlags, uFlags);
        EXPECT_EQ(call.cbSize, 488u);
        EXPECT_EQ(call.uID, 1u);
        EXPECT_NE(call.hWnd, nullptr);
        EXPECT_EQ(call.uCallbackMessage, (uFlags & NIF_MESSAGE) ? 4702u : 0u);
        EXPECT_TRUE(call.bRestIsZero);
    }

    ShellRecorder recorder;  // what the icons send to the shell
};

// Remembers the order in which handlers were called.
struct OrderHandler : CTrayHandler {
    OrderHandler(std::vector<int>& order, int nId) : m_order(order), m_nId(nId) {}
    void OnTrayMessage(WPARAM wParam, LPARAM lParam) override {
        EXPECT_EQ(wParam, 1u);
        EXPECT_EQ(lParam, WM_RBUTTONDOWN);
        m_order.push_back(m_nId);
    }
    std::vector<int>& m_order;  // where each call is noted
    int m_nId;                  // what this handler notes
};

}  // namespace

TEST_F(TrayIconTest, ChangesReachTheShellOnlyWhileShown) {
    CTrayIcon icon(g_hLibInstance);
    const HICON hIcon = LoadIcon(nullptr, IDI_INFORMATION);
    icon.SetTooltip("before");
    icon.SetIconHandle(hIcon);
    icon.Hide();
    EXPECT_TRUE(recorder.Take().empty());

    icon.Update();
    icon.SetTooltip("shown");
    icon.SetIcon(32516);  // no such icon in the module: the shell gets no picture
    icon.Update();
    icon.Hide();
    icon.Hide();
    icon.Update();
    const auto calls = recorder.Take();
    ASSERT_EQ(calls.size(), 6u);
    ExpectCall(calls[0], NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_EQ(calls[0].tip, "before");
    EXPECT_EQ(calls[0].hIcon, hIcon);
    ExpectCall(calls[1], NIM_MODIFY, NIF_TIP);
    EXPECT_EQ(calls[1].tip, "shown");
    ExpectCall(calls[2], NIM_MODIFY, NIF_ICON);
    EXPECT_EQ(calls[2].hIcon, nullptr);
    ExpectCall(calls[3], NIM_MODIFY, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    ExpectCall(calls[4], NIM_DELETE, 0);
    ExpectCall(calls[5], NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    for (const ShellCall& call : calls) EXPECT_EQ(call.hWnd, calls[0].hWnd);
}

TEST_F(TrayIconTest, TooltipsAreKeptTo255AndSentTo127Characters) {
    CTrayIcon icon(g_hLibInstance);
    const std::string tip(300, 't');
    icon.SetTooltip(tip.c_str());
    EXPECT_EQ(std::string(icon.GetTooltip()), tip.substr(0, 255));
    icon.Update();
    EXPECT_EQ(recorder.Take().at(0).tip, tip.substr(0, 127));
    icon.SetTooltip(nullptr);
    EXPECT_STREQ(icon.GetTooltip(), "");
}

TEST_F(TrayIconTest, CallbackMessagesReachEveryMatchingHandlerInOrder) {
    CTrayIcon icon(g_hLibInstance);
    icon.Update();
    const HWND hWnd = recorder.Take().at(0).hWnd;
    std::vector<int> order;
    OrderHandler first(order, 1), second(order, 2);
    icon.AddHandler(WM_RBUTTONDOWN, &first);
    icon.AddHandler(WM_RBUTTONDOWN, &second);
    EXPECT_EQ(SendMessageA(hWnd, 4702, 1, WM_RBUTTONDOWN), 0);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    // A button release reaches nobody but is still the icon's message.
    EXPECT_EQ(SendMessageA(hWnd, 4702, 1, WM_LBUTTONUP), 0);
    EXPECT_EQ(order.size(), 2u);
    // Other messages get the default answer.
    EXPECT_EQ(SendMessageA(hWnd, WM_USER + 7, 0, 0), 1);
}

TEST_F(TrayIconTest, AnIconTheShellRefusedIsAddedWhenTheShellAnnouncesItself) {
    CTrayIcon shown(g_hLibInstance), hidden(g_hLibInstance), never(g_hLibInstance);
    hidden.Update();
    hidden.Hide();
    recorder.Take();
    // No notification area yet: the add is tried three times, and the icon still counts as
    // shown, so that a change is sent as a modification.
    recorder.SetResult(FALSE);
    shown.SetTooltip("early");
    shown.Update();
    EXPECT_EQ(recorder.Take().size(), 3u);
    shown.SetTooltip("later");
    std::vector<ShellCall> calls = recorder.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].dwMessage, static_cast<DWORD>(NIM_MODIFY));

    // The shell starts and announces itself: the shown icon alone is added, with what it
    // shows now.
    recorder.SetResult(TRUE);
    shown.SetIconHandle(LoadIcon(nullptr, IDI_WARNING));
    recorder.Take();
    SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    calls = recorder.Take();
    ASSERT_EQ(calls.size(), 1u);
    ExpectCall(calls[0], NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_EQ(calls[0].tip, "later");
    EXPECT_EQ(calls[0].hIcon, LoadIcon(nullptr, IDI_WARNING));
}
