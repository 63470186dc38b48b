// The tray manager's reader registry and its stop, and the library's exception type.
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
    mgr.m_hHostWnd = reinterpret_cast<HWND>(0x1234);
    mgr.m_crMenu1 = 0xFFFFFFFF;
    mgr.GetChipIcon("Reader A", 1);
    ASSERT_TRUE(mgr.GetSemIcon() != nullptr && mgr.m_pMenuOwner != nullptr);
    const HWND hOwner = mgr.m_pMenuOwner->m_hWnd;
    EXPECT_TRUE(IsWindow(hOwner));

    mgr.Stop();
    EXPECT_EQ(mgr.GetReaderCount(), 0u);
    EXPECT_TRUE(!mgr.m_pSemIcon && !mgr.m_pNotifyWnd && !mgr.m_pMenuOwner && !IsWindow(hOwner));
    // What the host passed in survives the stop.
    EXPECT_EQ(mgr.m_hHostWnd, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(mgr.m_crMenu1, 0xFFFFFFFFu);
    // A reader named again is created anew, with the base given now.
    EXPECT_EQ(mgr.GetChipIcon("Reader A", 7)->GetCmdBase(), 7u);
}

TEST(VelException, CarriesItsOwnCopyOfTheMessage) {
    std::string text = "Resource Initialization failed";
    CvelException original(text.c_str()), assigned;
    text.assign("overwritten");
    EXPECT_STREQ(assigned.what(), "");
    const CvelException copy(original);
    assigned = copy;
    for (const char* pszMessage : {original.what(), copy.what(), assigned.what()})
        EXPECT_STREQ(pszMessage, "Resource Initialization failed");
    EXPECT_NE(copy.what(), original.what());
}
