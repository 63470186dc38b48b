// The library end to end in Wine's desktop, driven as a user would: real mouse clicks (xdotool on
// the X display) on the icons in the notification area and on the menu entries, keys typed into
// an open menu, the host's window receiving the commands, and a screen reader hearing the menu.
// What the shell's callback message already proves (the entries, the monitor's events) is left to
// the tests of the DLL.
#include <gtest/gtest.h>
#include <windows.h>
// oleacc.h needs windows.h first.
#include <oleacc.h>

#include <memory>
#include <string>
#include <vector>

#include "DesktopUser.h"
#include "ScreenReaderLog.h"
#include "TestSupport.h"
#include "VelTrayApi.h"

namespace {

// A point of the empty desktop, where a click closes a menu.
constexpr POINT kDesktop = {600, 300};

// The focused entry of a menu, its child id and name, as a screen reader on its own thread reads
// them through the proxy that COM makes of the menu's object.
std::wstring ReadAccessibleName(HWND hMenu, LONG& nChild) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IAccessible* pAcc = nullptr;
    VARIANT child = {};
    BSTR bstrName = nullptr;
    if (AccessibleObjectFromWindow(hMenu, OBJID_CLIENT, IID_IAccessible,
                                   reinterpret_cast<void**>(&pAcc)) == S_OK) {
        pAcc->get_accFocus(&child);
        pAcc->get_accName(child, &bstrName);
        pAcc->Release();
    }
    nChild = child.vt == VT_I4 ? child.lVal : -1;
    const std::wstring name = bstrName != nullptr ? bstrName : L"";
    SysFreeString(bstrName);
    CoUninitialize();
    return name;
}

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(api.Load());
        shell.reset(new ShellRecorder(api.hModule, true));
        ASSERT_EQ(api.velStartTray(host, TRUE), 0u);
        ASSERT_EQ(api.velCardPresent("E2E Reader", 3), 0u);
        ASSERT_TRUE(IconCenter(shell->Calls().back().hWnd, shell->Calls(), ptChip)) << "not shown";
    }
    void TearDown() override {
        if (FindMenu() != nullptr) PlayAsUser([] { Click(kDesktop, 1); });
        api.velStopTray();
        shell.reset();
        api.Unload();
    }
    // Right-clicks the reader's icon; the menu that opened, or null.
    HWND OpenChipMenu() const { return Click(ptChip, 3), WaitForMenu(); }

    HostWindow host;                       // the host's window
    VelTrayApi api;                        // the loaded library
    std::unique_ptr<ShellRecorder> shell;  // its calls to the shell, passed on
    POINT ptChip = {};                     // where the reader's icon is
};

}  // namespace

TEST_F(EndToEnd, KeysOrAClickChooseEntriesAndEscapeClosesTheMenu) {
    // The information window on screen goes as soon as a menu opens.
    ASSERT_EQ(api.velShowInformation(6010), 0u);
    const HWND hInfo = FindWindowA("#32770", nullptr);
    ASSERT_TRUE(IsWindowVisible(hInfo)) << "the information window is not shown";
    // The chip menu without host entries: Open signature suite, Settings, About, Exit.
    const struct {
        const char* pszKeys;  // typed on the X display while the menu is open; null: About clicked
        std::vector<WPARAM> commands;
    } cases[] = {{"Down Down Return", {0x1703}},
                 {"Down Down Up Return", {0x1603}},
                 {"x", {0x1803}},
                 {"Escape", {}},
                 {nullptr, {0x1903}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszKeys != nullptr ? c.pszKeys : "a click on About");
        host.commands.clear();
        std::vector<bool> seen;  // the menu opened, the information window went, the menu closed
        PlayAsUser([&] {
            const HWND hMenu = OpenChipMenu();
            seen = {hMenu != nullptr, !IsWindowVisible(hInfo)};
            if (c.pszKeys == nullptr) {
                const std::vector<MenuItem> items = ReadMenu(hMenu);
                const MenuItem* pAbout = FindItem(items, 0x1903);
                if (pAbout != nullptr) Click(pAbout->center, 1);
            } else {
                // Without a window manager the X keyboard focus does not always follow the window
                // Wine activates (after a menu closed by a key it stays with the shell); a window
                // manager would move it, so the test does.
                const HANDLE hX = GetPropA(hMenu, "__wine_x11_whole_window");
                if (hX != nullptr)
                    RunUnix("/usr/bin/xdotool windowfocus --sync " +
                            std::to_string(reinterpret_cast<UINT_PTR>(hX)));
                RunUnix(std::string("/usr/bin/xdotool key ") + c.pszKeys);
            }
            seen.push_back(WaitForNoMenu());
        });
        EXPECT_EQ(seen, std::vector<bool>(3, true));
        EXPECT_EQ(host.commands, c.commands);
    }
}

// A screen reader hears a clicked menu open, the entry under the mouse take the focus, and the
// menu close at a click on the desktop, which leaves the host behind.
TEST_F(EndToEnd, AClickedMenuIsHeardOpeningFocusedAndClosing) {
    ShowWindow(host, SW_SHOWNOACTIVATE);
    ScreenReaderLog log;
    HWND hMenu = nullptr;
    LONG nFocus = -1;
    std::wstring focusName;
    bool bClosed = false;
    PlayAsUser([&] {
        if ((hMenu = OpenChipMenu()) == nullptr) return;
        const std::vector<MenuItem> items = ReadMenu(hMenu);
        const MenuItem* pSettings = FindItem(items, 0x1703);
        if (pSettings == nullptr) return;
        RunUnix("/usr/bin/xdotool mousemove " + std::to_string(pSettings->center.x) + " " +
                std::to_string(pSettings->center.y));
        log.WaitFor(3, kUserWaitMs);
        focusName = ReadAccessibleName(hMenu, nFocus);
        Click(kDesktop, 1);
        bClosed = WaitForNoMenu();
    });
    EXPECT_EQ(focusName, L"Settings...");
    const std::vector<HeardEvent> expected = {
        {EVENT_SYSTEM_MENUPOPUPSTART, hMenu, OBJID_CLIENT, CHILDID_SELF, ROLE_SYSTEM_MENUPOPUP, ""},
        {EVENT_OBJECT_FOCUS, hMenu, OBJID_CLIENT, nFocus, ROLE_SYSTEM_MENUITEM, "Settings..."},
        {EVENT_SYSTEM_MENUPOPUPEND, hMenu, OBJID_CLIENT, CHILDID_SELF, 0, ""},
    };
    EXPECT_EQ(ScreenReaderLog::Lines(log.Take()), ScreenReaderLog::Lines(expected));
    EXPECT_TRUE(bClosed);
    EXPECT_TRUE(host.commands.empty());
    EXPECT_NE(GetForegroundWindow(), host);
}
