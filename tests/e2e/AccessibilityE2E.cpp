// A screen reader's view of a menu opened by a real click in Wine's desktop: the
// events it hears, and the focused entry read from another thread, through the
// proxy that COM makes of the menu's object.
#include <gtest/gtest.h>
#include <windows.h>
// oleacc.h needs windows.h first.
#include <oleacc.h>

#include <memory>
#include <string>
#include <vector>

#include "DesktopUser.h"
#include "ScreenReaderLog.h"
#include "ShellRecorder.h"
#include "VelTrayApi.h"

TEST(AccessibilityE2E, AClickedMenuIsHeardOpeningFocusedAndClosing) {
    VelTrayApi api;
    ASSERT_TRUE(api.Load());
    std::unique_ptr<ShellRecorder> shell(new ShellRecorder(api.hModule, true));
    const HWND hHost = CreateWindowExA(0, "STATIC", "e2e host", WS_POPUP, 0, 0, 10, 10, nullptr,
                                       nullptr, nullptr, nullptr);
    ASSERT_EQ(api.velStartTray(hHost, TRUE), 0u);
    ASSERT_EQ(api.velCardPresent("A11y Reader", 3), 0u);
    POINT ptIcon = {};
    ASSERT_TRUE(IconCenter(shell->Calls().back().hWnd, shell->Calls(), ptIcon));
    ScreenReaderLog log;
    HWND hMenu = nullptr;
    LONG nFocus = -1;
    std::string focusName;
    PlayAsUser([&] {
        Click(ptIcon, 3);
        if ((hMenu = WaitForMenu()) == nullptr) return;
        const std::vector<MenuItem> items = ReadMenu(hMenu);
        const MenuItem* pSettings = FindItem(items, 0x1703);
        if (pSettings == nullptr) return;
        RunUnix("/usr/bin/xdotool mousemove " + std::to_string(pSettings->center.x) + " " +
                std::to_string(pSettings->center.y));
        log.WaitFor(3, kUserWaitMs);
        // A screen reader's own thread asks the menu for its focus and that entry's name.
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IAccessible* pAcc = nullptr;
        VARIANT focus = {};
        BSTR bstrName = nullptr;
        if (AccessibleObjectFromWindow(hMenu, OBJID_CLIENT, IID_IAccessible,
                                       reinterpret_cast<void**>(&pAcc)) == S_OK) {
            pAcc->get_accFocus(&focus);
            pAcc->get_accName(focus, &bstrName);
            pAcc->Release();
        }
        nFocus = focus.vt == VT_I4 ? focus.lVal : -1;
        for (const WCHAR* p = bstrName; p != nullptr && *p != 0; ++p)
            focusName += static_cast<char>(*p);
        SysFreeString(bstrName);
        CoUninitialize();
        Click(POINT{600, 300}, 1);
        WaitForNoMenu();
    });
    EXPECT_EQ(focusName, "Settings...");
    const std::vector<HeardEvent> expected = {
        {EVENT_SYSTEM_MENUPOPUPSTART, hMenu, OBJID_CLIENT, CHILDID_SELF, ROLE_SYSTEM_MENUPOPUP, ""},
        {EVENT_OBJECT_FOCUS, hMenu, OBJID_CLIENT, nFocus, ROLE_SYSTEM_MENUITEM, "Settings..."},
        {EVENT_SYSTEM_MENUPOPUPEND, hMenu, OBJID_CLIENT, CHILDID_SELF, 0, ""},
    };
    EXPECT_EQ(ScreenReaderLog::Lines(log.Take()), ScreenReaderLog::Lines(expected));
    api.velStopTray();
    DestroyWindow(hHost);
    shell.reset();
    api.Unload();
}
