// The tray manager's reader registry and design pictures, the library's
// exception type and the application object's trace lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/MenuOwnerWnd.h"
#include "core/velException.h"
#include "core/velTrayLibApp.h"
#include "core/velTrayLibMgr.h"
#include "framework/ModuleState.h"
#include "framework/Wnd.h"
#include "tray/ChipIcon.h"
#include "tray/TrayIcon.h"
#include "util/TraceLog.h"

TEST(TrayLibMgr, RegistryFindsReadersByExactNameAndKeepsTheFirstCommandBase) {
    CvelTrayLibMgr mgr;
    CChipIcon* pA = mgr.GetChipIcon("Reader A", 0x10000);
    EXPECT_EQ(pA->GetCmdBase(), 0x10000u);
    EXPECT_STREQ(pA->GetTrayIcon()->GetTooltip(), "Reader A");
    EXPECT_FALSE(pA->GetTrayIcon()->IsShown());
    // The same name, whatever the command base: the same icon and its first base.
    EXPECT_EQ(mgr.GetChipIcon("Reader A", 0x20000), pA);
    EXPECT_EQ(pA->GetCmdBase(), 0x10000u);
    // Case, a prefix and an extension are other readers.
    CChipIcon* pLower = mgr.GetChipIcon("reader A", 0x30000);
    CChipIcon* pPrefix = mgr.GetChipIcon("Reader", 0);
    CChipIcon* pLonger = mgr.GetChipIcon("Reader A ", 0);
    EXPECT_NE(pLower, pA);
    EXPECT_NE(pPrefix, pA);
    EXPECT_NE(pLonger, pA);
    EXPECT_EQ(pLower->GetCmdBase(), 0x30000u);
    ASSERT_EQ(mgr.GetReaderCount(), 4u);
    // Entries stay in the order of creation.
    const char* const order[] = {"Reader A", "reader A", "Reader", "Reader A "};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_STREQ(mgr.m_readers[i]->m_strReader.CStr(), order[i]);
    }
    EXPECT_EQ(mgr.m_readers[1]->m_pChip.get(), pLower);
}

TEST(TrayLibMgr, StopEmptiesEverythingAndLaterCallsCreateAnew) {
    CvelTrayLibMgr mgr;
    mgr.Stop();  // nothing to stop
    EXPECT_EQ(mgr.GetReaderCount(), 0u);

    mgr.m_hHostWnd = reinterpret_cast<HWND>(0x1234);
    mgr.m_crMenu1 = 0xFFFFFFFF;
    mgr.GetChipIcon("Reader A", 1);
    ASSERT_NE(mgr.GetSemIcon(), nullptr);
    ASSERT_NE(mgr.m_pNotifyWnd, nullptr);
    ASSERT_NE(mgr.m_pMenuOwner, nullptr);
    EXPECT_EQ(mgr.m_pMenuOwner->m_hWnd, mgr.m_pNotifyWnd->m_hWnd);
    EXPECT_TRUE(IsWindow(mgr.m_pMenuOwner->m_hWnd));
    const HWND hOwner = mgr.m_pMenuOwner->m_hWnd;

    mgr.Stop();
    EXPECT_EQ(mgr.GetReaderCount(), 0u);
    EXPECT_EQ(mgr.m_pSemIcon, nullptr);
    EXPECT_EQ(mgr.m_pNotifyWnd, nullptr);
    EXPECT_EQ(mgr.m_pMenuOwner, nullptr);
    EXPECT_FALSE(IsWindow(hOwner));
    // What the host passed in survives the stop.
    EXPECT_EQ(mgr.m_hHostWnd, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(mgr.m_crMenu1, 0xFFFFFFFFu);
    // A reader named again is created anew, with the base given now.
    EXPECT_EQ(mgr.GetChipIcon("Reader A", 7)->GetCmdBase(), 7u);
}

TEST(TrayLibMgr, ChipIconsGetTheMenuOwnerKnownAtTheirCreation) {
    CvelTrayLibMgr mgr;
    EXPECT_EQ(mgr.GetChipIcon("early", 0)->GetMenuOwner(), nullptr);
    mgr.GetSemIcon();
    EXPECT_EQ(mgr.GetChipIcon("late", 0)->GetMenuOwner(), mgr.m_pMenuOwner);
}

TEST(TrayLibMgr, InstanceIsTheOneStaticManager) {
    EXPECT_EQ(&CvelTrayLibMgr::Instance(), &CvelTrayLibMgr::Instance());
    EXPECT_EQ(CvelTrayLibMgr::Instance().m_bConstructed, 1);
}

TEST(VelException, CarriesItsOwnCopyOfTheMessage) {
    std::string text = "Resource Initialization failed";
    CvelException original(text.c_str());
    text.assign("overwritten");
    CvelException copy(original);
    CvelException assigned;
    EXPECT_STREQ(assigned.what(), "");
    assigned = copy;
    EXPECT_STREQ(original.what(), "Resource Initialization failed");
    EXPECT_STREQ(copy.what(), "Resource Initialization failed");
    EXPECT_STREQ(assigned.what(), "Resource Initialization failed");
    EXPECT_NE(copy.what(), original.what());
    const std::exception& base = copy;
    EXPECT_STREQ(base.what(), "Resource Initialization failed");
}

namespace {

std::vector<std::string> g_traceLines;

StatusWord RecordLine(const CStrBuf& line) {
    g_traceLines.emplace_back(line.CStr());
    return 0;
}

}  // namespace

TEST(VelTrayLibApp, SavesTheModuleAndTracesStartAndExit) {
    g_traceLines.clear();
    const TraceSink pfnPrevious = g_traceLog.SetSink(RecordLine);
    const HINSTANCE hPrevious = g_hLibInstance;
    // The framework hands the module to the application object and runs it.
    const HINSTANCE hModule = GetModuleHandleA(nullptr);
    EXPECT_TRUE(AfxDllAttach(hModule));
    EXPECT_EQ(g_hLibInstance, hModule);
    EXPECT_EQ(AfxGetInstanceHandle(), hModule);
    AfxDllDetach();
    g_traceLog.SetSink(pfnPrevious);
    g_hLibInstance = hPrevious;
    const std::vector<std::string> expected = {"InitInstance Tessaroth Tray\r\n",
                                               "ExitInstance Tessaroth Tray\r\n"};
    EXPECT_EQ(g_traceLines, expected);
}
