// The SEM icon: its resting picture and the rotation through the four design
// pictures, as the shell sees them.
#include <gtest/gtest.h>

#include "ShellRecorder.h"
#include "core/velTrayLibApp.h"
#include "core/velTrayLibMgr.h"
#include "tray/SEMIcon.h"
#include "tray/TrayIcon.h"

namespace {

class SemIconTest : public ::testing::Test {
  protected:
    SemIconTest() : recorder(GetModuleHandleA(nullptr)) {}

    void SetUp() override {
        ASSERT_TRUE(recorder.IsActive());
        // Four distinct pictures stand in for the design component's.
        const LPCSTR ids[4] = {IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION};
        for (int i = 0; i < 4; ++i) {
            m_saved[i] = mgr().m_hSemIcon[i];
            mgr().m_hSemIcon[i] = LoadIconA(nullptr, ids[i]);
        }
    }
    void TearDown() override {
        for (int i = 0; i < 4; ++i) mgr().m_hSemIcon[i] = m_saved[i];
    }
    static CvelTrayLibMgr& mgr() { return CvelTrayLibMgr::Instance(); }

    ShellRecorder recorder;
    HICON m_saved[4] = {};
};

}  // namespace

TEST_F(SemIconTest, ShowAddsTheRestingPictureWithTheProductName) {
    CSEMIcon sem(g_hLibInstance);
    EXPECT_TRUE(recorder.Take().empty());
    sem.Show();
    sem.Show();
    const auto calls = recorder.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].dwMessage, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[1].dwMessage, static_cast<DWORD>(NIM_MODIFY));
    for (const ShellCall& call : calls) {
        EXPECT_EQ(call.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(call.hIcon, mgr().m_hSemIcon[0]);
        EXPECT_EQ(call.tip, "Tessaroth Quillmark");
    }
}

TEST_F(SemIconTest, RotationCyclesThePicturesAndRestsAfterTheStop) {
    CSEMIcon sem(g_hLibInstance);
    sem.StopRotation();  // nothing rotates: nothing happens
    EXPECT_TRUE(recorder.Take().empty());
    sem.StartRotation();
    sem.StartRotation();  // already running: ignored
    EXPECT_TRUE(sem.IsRotating());
    Sleep(2300);  // a little over four and a half frames
    sem.StopRotation();
    EXPECT_FALSE(sem.IsRotating());
    const auto calls = recorder.Take();
    // Five or six frames (the last sleep may just have ended), then the resting tooltip
    // and the resting picture.
    ASSERT_GE(calls.size(), 7u);
    ASSERT_LE(calls.size(), 8u);
    const size_t nFrames = calls.size() - 2;
    for (size_t i = 0; i < nFrames; ++i) {
        EXPECT_EQ(calls[i].dwMessage, static_cast<DWORD>(i == 0 ? NIM_ADD : NIM_MODIFY));
        EXPECT_EQ(calls[i].uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(calls[i].hIcon, mgr().m_hSemIcon[i % 4]) << "frame " << i;
        // Text 5083 is the tooltip while turning; here no language library has it.
        EXPECT_EQ(calls[i].tip, "");
    }
    EXPECT_EQ(calls[nFrames].uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(calls[nFrames].tip, "Tessaroth Quillmark");
    EXPECT_EQ(calls.back().uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(calls.back().hIcon, mgr().m_hSemIcon[0]);
    EXPECT_EQ(calls.back().tip, "Tessaroth Quillmark");
    // The thread is gone: nothing more reaches the shell.
    Sleep(600);
    EXPECT_TRUE(recorder.Take().empty());
}

TEST_F(SemIconTest, StopRightAfterStartRestoresTheRestingIcon) {
    CSEMIcon sem(g_hLibInstance);
    sem.Show();
    recorder.Take();
    sem.StartRotation();
    sem.StopRotation();
    const auto calls = recorder.Take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().hIcon, mgr().m_hSemIcon[0]);
    EXPECT_EQ(calls.back().tip, "Tessaroth Quillmark");
    // It can turn again.
    sem.StartRotation();
    EXPECT_TRUE(sem.IsRotating());
    sem.StopRotation();
}
