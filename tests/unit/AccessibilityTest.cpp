// What assistive technology reads of the bitmap menus and the information window: the
// events a screen reader hears in this process and the objects it asks through Active
// Accessibility.
#include <gtest/gtest.h>
#include <windows.h>
// oleacc.h needs windows.h first.
#include <oleacc.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "BmpMenuTestDriver.h"
#include "ScreenReaderLog.h"
#include "TestSupport.h"
#include "core/velTrayLibApp.h"
#include "infownd/InfoDlg.h"
#include "tray/SEMIcon.h"

namespace {

// COM on the test's thread, from which the objects are handed out.
struct Accessibility : ::testing::Test {
    // Enters the thread's apartment.
    void SetUp() override { CoInitialize(nullptr); }
    // Leaves it again.
    void TearDown() override { CoUninitialize(); }
};

// The child id of an item, or CHILDID_SELF, as Active Accessibility takes it.
VARIANT Child(LONG id) {
    VARIANT v = {};
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// A text property of a child; "-" when there is none.
std::wstring Text(IAccessible* pAcc,
                  HRESULT (STDMETHODCALLTYPE IAccessible::*pfnGet)(VARIANT, BSTR*), LONG id) {
    BSTR bstr = nullptr;
    const std::wstring text = (pAcc->*pfnGet)(Child(id), &bstr) != S_OK ? L"-" : bstr ? bstr : L"";
    SysFreeString(bstr);
    return text;
}

}  // namespace

// The menus announce opening, focus and closing; an open one reads as a popup of items, whose
// default action chooses like a click, and a screen reader's object of it outlives the popup.
TEST_F(Accessibility, MenusAreHeardAndReadAndChooseAsAClick) {
    MenuSetup s;
    ScreenReaderLog log;
    HWND hTop = nullptr, hSub = nullptr;
    IAccessible* pAcc = nullptr;
    long nChildren = 0;
    s.owner.AddStep(1, [&] {
        hTop = s.owner.OpenMenus().at(0);
        PressKey(hTop, VK_DOWN);
        PressKey(hTop, VK_DOWN);
        const HWND hStrip = Strip(hTop);
        for (int i : {5, 0, 4}) SendMessageA(hStrip, WM_MOUSEMOVE, 0, ItemParam(hStrip, i));
        // Right opens the submenu of the item drawn hot.
        UpdateWindow(hStrip);
        PressKey(hTop, VK_RIGHT);
    });
    s.owner.AddStep(2, [&] {
        hSub = s.owner.OpenMenus().at(1);
        const HWND hStrip = Strip(hTop);
        ASSERT_EQ(AccessibleObjectFromWindow(hTop, OBJID_CLIENT, IID_PPV_ARGS(&pAcc)), S_OK);
        EXPECT_TRUE(pAcc->get_accChildCount(&nChildren) == S_OK && nChildren == 6);
        const LONG kOn = STATE_SYSTEM_FOCUSABLE, kItem = ROLE_SYSTEM_MENUITEM;
        // Role, state, name and shortcut of each child, then its place on the screen.
        const std::tuple<LONG, LONG, std::wstring, std::wstring> cases[] = {
            {kItem, kOn, L"Open", L"O"},
            {kItem, kOn | STATE_SYSTEM_CHECKED, L"Checked", L"C"},
            {ROLE_SYSTEM_SEPARATOR, 0, L"-", L"-"},
            {kItem, STATE_SYSTEM_UNAVAILABLE, L"Disabled", L"D"},
            {kItem, kOn | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_HOTTRACKED | STATE_SYSTEM_HASPOPUP,
             L"More", L"M"},
            {kItem, kOn, L"Exit", L"x"},
        };
        for (LONG id = 1; id <= 6; ++id) {
            VARIANT role = {}, state = {};
            EXPECT_EQ(pAcc->get_accRole(Child(id), &role) | pAcc->get_accState(Child(id), &state),
                      S_OK);
            EXPECT_EQ(
                std::make_tuple(role.lVal, state.lVal, Text(pAcc, &IAccessible::get_accName, id),
                                Text(pAcc, &IAccessible::get_accKeyboardShortcut, id)),
                cases[id - 1])
                << id;
            RECT rc = ItemRect(hStrip, static_cast<int>(id - 1));
            MapWindowPoints(hStrip, nullptr, reinterpret_cast<POINT*>(&rc), 2);
            long x = 0, y = 0, cx = 0, cy = 0;
            pAcc->accLocation(&x, &y, &cx, &cy, Child(id));
            EXPECT_EQ(std::vector<long>({x, y, x + cx, y + cy}),
                      std::vector<long>({rc.left, rc.top, rc.right, rc.bottom}));
        }
        VARIANT v = {};
        EXPECT_EQ(pAcc->get_accState(Child(7), &v), E_INVALIDARG);
        EXPECT_EQ(pAcc->accDoDefaultAction(Child(4)), DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(pAcc->accDoDefaultAction(Child(6)), S_OK);
    });
    EXPECT_TRUE(s.owner.Track(s.menu, 200, 150));
    EXPECT_EQ(s.host.Take(), std::vector<std::string>{"command 104 0"}) << "Exit's default action";
    const LONG kPopup = ROLE_SYSTEM_MENUPOPUP, kItem = ROLE_SYSTEM_MENUITEM, kSelf = CHILDID_SELF;
    const std::vector<HeardEvent> expected = {
        {EVENT_SYSTEM_MENUPOPUPSTART, hTop, OBJID_CLIENT, kSelf, kPopup, ""},
        {EVENT_OBJECT_FOCUS, hTop, OBJID_CLIENT, 1, kItem, "Open"},
        {EVENT_OBJECT_FOCUS, hTop, OBJID_CLIENT, 2, kItem, "Checked"},
        {EVENT_OBJECT_FOCUS, hTop, OBJID_CLIENT, 6, kItem, "Exit"},
        {EVENT_OBJECT_FOCUS, hTop, OBJID_CLIENT, 1, kItem, "Open"},
        {EVENT_OBJECT_FOCUS, hTop, OBJID_CLIENT, 5, kItem, "More"},
        {EVENT_SYSTEM_MENUPOPUPSTART, hSub, OBJID_CLIENT, kSelf, kPopup, ""},
        {EVENT_OBJECT_FOCUS, hSub, OBJID_CLIENT, 1, kItem, "Sub one"},
        {EVENT_SYSTEM_MENUPOPUPEND, hSub, OBJID_CLIENT, kSelf, 0, ""},
        {EVENT_SYSTEM_MENUPOPUPEND, hTop, OBJID_CLIENT, kSelf, 0, ""},
    };
    EXPECT_EQ(ScreenReaderLog::Lines(log.Take()), ScreenReaderLog::Lines(expected));
    // A screen reader may hold the object after the popup went away: it answers, and
    // reaches nothing.
    ASSERT_NE(pAcc, nullptr);
    EXPECT_EQ(pAcc->get_accChildCount(&nChildren), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(Text(pAcc, &IAccessible::get_accName, 1), L"-");
    EXPECT_EQ(pAcc->accDoDefaultAction(Child(1)), CO_E_OBJNOTCONNECTED);
    pAcc->Release();
}

TEST_F(Accessibility, InformationWindowAndAlertAreAnnounced) {
    // The window's template comes from the built library.
    const HMODULE hLib = LoadLibraryA((ProgramFolder() + "velTrayLib.dll").c_str());
    ASSERT_NE(hLib, nullptr);
    const HINSTANCE hPrevious = std::exchange(g_hLibInstance, hLib);
    {
        CSEMIcon sem(hLib);
        ScreenReaderLog log;
        // The text, whether it is raised as an alert (else shown as an information), the events.
        const std::tuple<const char*, bool, std::vector<DWORD>> cases[] = {
            {"Die Datei wird signiert", false, {EVENT_OBJECT_SHOW}},
            {"Die Karte ist gesperrt", true, {EVENT_OBJECT_NAMECHANGE, EVENT_SYSTEM_ALERT}},
            {"Die Karte ist gesperrt", true, {EVENT_SYSTEM_ALERT}},
            {"Bitte warten", false, {EVENT_OBJECT_NAMECHANGE}},
        };
        for (const auto& [pszText, bAlertCase, events] : cases) {
            bAlertCase ? sem.Alert(nullptr, pszText) : sem.ShowText(pszText);
            // The window is named after its text; the alert is an object of its own.
            std::vector<HeardEvent> expected;
            for (DWORD event : events)
                expected.push_back(
                    {event, sem.GetInfoDlg()->GetSafeHwnd(),
                     event == EVENT_SYSTEM_ALERT ? CInfoDlg::kAlertObjectId : OBJID_WINDOW,
                     CHILDID_SELF, event == EVENT_SYSTEM_ALERT ? ROLE_SYSTEM_ALERT : 0, pszText});
            EXPECT_EQ(ScreenReaderLog::Lines(log.Take()), ScreenReaderLog::Lines(expected));
        }
    }
    g_hLibInstance = hPrevious;
    FreeLibrary(hLib);
}
