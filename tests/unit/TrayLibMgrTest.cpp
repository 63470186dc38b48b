// The tray manager's reader registry, its stop and the menu owner its icons get, and the
// library's exception type.
#include <gtest/gtest.h>

#include <string>

#include "core/MenuOwnerWnd.h"
#include "core/velException.h"
#include "core/velTrayLibMgr.h"
#include "framework/Wnd.h"
#include "tray/ChipIcon.h"
#include "tray/TrayIcon.h"

TEST(TrayLibMgr, RegistryFindsReadersByExactNameAndKeepsTheFirstCommandBase) {
    CvelTrayLibMgr mgr;
    CChipIcon* pA = mgr.GetChipIcon("Reader A", 0x10000);
    EXPECT_STREQ(pA->GetTrayIcon()->GetTooltip(), "Reader A");
    EXPECT_FALSE(pA->GetTrayIcon()->IsShown());
    // The same name, whatever the command base: the same icon and its first base.
    EXPECT_EQ(mgr.GetChipIcon("Reader A", 0x20000), pA);
    EXPECT_EQ(pA->GetCmdBase(), 0x10000u);
    // Case, a prefix and an extension are other readers; entries stay in order of creation.
    const char* const others[] = {"reader A", "Reader", "Reader A "};
    for (const char* pszName : others) EXPECT_NE(mgr.GetChipIcon(pszName, 0x30000), pA);
    ASSERT_EQ(mgr.GetReaderCount(), 4u);
    EXPECT_STREQ(mgr.m_readers[0]->m_strReader.CStr(), "Reader A");
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_STREQ(mgr.m_readers[i]->m_strReader.CStr(), others[i - 1]);
        EXPECT_EQ(mgr.m_readers[i]->m_pChip->GetCmdBase(), 0x30000u);
    }
}

TEST(TrayLibMgr, StopEmptiesEverythingAndLaterCallsCreateAnew) {
    CvelTrayLibMgr mgr;
    mgr.Stop();  // nothing to stop
    EXPECT_EQ(mgr.GetReaderCount(), 0u);

    mgr.m_hHostWnd = reinterpret_cast<HWND>(0x1234);
    mgr.m_crMenu1 = 0xFFFFFFFF;
    // Chip icons get the menu owner known at their creation.
    EXPECT_EQ(mgr.GetChipIcon("early", 0)->GetMenuOwner(), nullptr);
    ASSERT_NE(mgr.GetSemIcon(), nullptr);
    ASSERT_NE(mgr.m_pMenuOwner, nullptr);
    EXPECT_EQ(mgr.GetChipIcon("Reader A", 1)->GetMenuOwner(), mgr.m_pMenuOwner);
    ASSERT_NE(mgr.m_pNotifyWnd, nullptr);
    EXPECT_EQ(mgr.m_pMenuOwner->m_hWnd, mgr.m_pNotifyWnd->m_hWnd);
    const HWND hOwner = mgr.m_pMenuOwner->m_hWnd;
    EXPECT_TRUE(IsWindow(hOwner));

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

TEST(VelException, CarriesItsOwnCopyOfTheMessage) {
    std::string text = "Resource Initialization failed";
    CvelException original(text.c_str());
    text.assign("overwritten");
    CvelException copy(original);
    CvelException assigned;
    EXPECT_STREQ(assigned.what(), "");
    assigned = copy;
    EXPECT_STREQ(original.what(), "Resource Initialization failed");
    EXPECT_STREQ(assigned.what(), "Resource Initialization failed");
    EXPECT_NE(copy.what(), original.what());
    const std::exception& base = copy;
    EXPECT_STREQ(base.what(), "Resource Initialization failed");
}
