// The chip icons as the shell sees them through the real DLL: its import of
// Shell_NotifyIconA is bent to a recorder, the library itself is unchanged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ShellRecorder.h"
#include "VelTrayApi.h"

namespace {

constexpr UINT kFull = NIF_MESSAGE | NIF_ICON | NIF_TIP;

class ChipShell : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(api.Load());
        recorder.reset(new ShellRecorder(api.hModule));
        ASSERT_TRUE(recorder->IsActive());
    }
    void TearDown() override {
        api.velStopTray();
        recorder.reset();
        api.Unload();
    }
    HICON Picture(UINT nId) const { return LoadIconA(api.hModule, MAKEINTRESOURCEA(nId)); }

    // Checks a call's message, flags and, for calls that carry them, picture and tooltip.
    void Expect(const ShellCall& call, DWORD dwMessage, UINT uFlags, UINT nPicture,
                const char* pszTip) const {
        EXPECT_EQ(call.dwMessage, dwMessage);
        EXPECT_EQ(call.uFlags, uFlags);
        EXPECT_EQ(call.cbSize, 488u);
        EXPECT_EQ(call.uID, 1u);
        if (uFlags & NIF_ICON) {
            EXPECT_EQ(call.hIcon, Picture(nPicture));
        }
        if (pszTip != nullptr) {
            EXPECT_EQ(call.tip, pszTip);
        }
    }

    VelTrayApi api;
    std::unique_ptr<ShellRecorder> recorder;
};

}  // namespace

TEST_F(ChipShell, StatesReachTheShellWithTheirPicturesAndTooltips) {
    const char kReader[] = "SCM Reader 0";
    api.velCardPresent(kReader, 3);  // a new reader: added at once with picture 203
    api.velCardActive(kReader, 3);
    api.velCardIdentified(kReader, nullptr, 0, 0, 3);  // no text: tooltip unchanged
    api.velCardIdentified(kReader, "Card of J. Doe", 0, 0, 3);
    api.velCardAbsent(kReader, 3);
    const auto calls = recorder->Take();
    ASSERT_EQ(calls.size(), 11u);
    Expect(calls[0], NIM_ADD, kFull, 203, kReader);
    EXPECT_EQ(calls[0].uCallbackMessage, 4702u);
    Expect(calls[1], NIM_MODIFY, NIF_ICON, 205, nullptr);
    Expect(calls[2], NIM_MODIFY, kFull, 205, kReader);
    Expect(calls[3], NIM_MODIFY, NIF_ICON, 203, nullptr);
    Expect(calls[4], NIM_MODIFY, kFull, 203, kReader);
    Expect(calls[5], NIM_MODIFY, NIF_ICON, 203, nullptr);
    Expect(calls[6], NIM_MODIFY, NIF_TIP, 0, "Card of J. Doe");
    Expect(calls[7], NIM_MODIFY, kFull, 203, "Card of J. Doe");
    Expect(calls[8], NIM_MODIFY, NIF_TIP, 0, kReader);
    Expect(calls[9], NIM_MODIFY, NIF_ICON, 201, nullptr);
    Expect(calls[10], NIM_MODIFY, kFull, 201, kReader);
}

TEST_F(ChipShell, HiddenIconsComeBackWithTheNextStateAndLeaveAtTheStop) {
    api.velAddChipTray("A", 1);
    api.velHideChipIcon("A");
    api.velHideChipIcon("A");  // hidden already: nothing
    api.velCardActive("A", 1);
    api.velCardIdentify("B", 2);
    const auto calls = recorder->Take();
    ASSERT_EQ(calls.size(), 4u);
    Expect(calls[0], NIM_ADD, kFull, 201, "A");
    Expect(calls[1], NIM_DELETE, 0, 0, nullptr);
    Expect(calls[2], NIM_ADD, kFull, 205, "A");
    Expect(calls[3], NIM_ADD, kFull, 202, nullptr);  // tooltip: the identify text
    EXPECT_EQ(calls[2].hWnd, calls[0].hWnd);
    EXPECT_NE(calls[3].hWnd, calls[0].hWnd);
    // The stop takes both out, in the order the readers were created.
    api.velStopTray();
    const auto stops = recorder->Take();
    ASSERT_EQ(stops.size(), 2u);
    Expect(stops[0], NIM_DELETE, 0, 0, nullptr);
    Expect(stops[1], NIM_DELETE, 0, 0, nullptr);
    EXPECT_EQ(stops[0].hWnd, calls[0].hWnd);
    EXPECT_EQ(stops[1].hWnd, calls[3].hWnd);
}
