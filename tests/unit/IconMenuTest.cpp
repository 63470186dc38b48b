// The layouts of the two icon menus: order, separators and composed commands.
#include <gtest/gtest.h>

#include <vector>

#include "tray/IconMenu.h"

namespace {

// A layout written as (text id, command id) with 0/0 for a separator.
std::vector<MenuEntry> Flatten(const std::vector<CIconMenu::Item>& items) {
    std::vector<MenuEntry> flat;
    for (const CIconMenu::Item& item : items) {
        flat.emplace_back(item.bSeparator ? 0 : item.nTextId, item.bSeparator ? 0 : item.nCmdId);
    }
    return flat;
}

const MenuEntry kSep(0, 0);

}  // namespace

TEST(IconMenu, ChipMenuOrsTheCommandBaseIntoEveryCommand) {
    const std::vector<MenuEntry> host = {{6000, 0x4000}, {6001, 0x0010}};
    const std::vector<MenuEntry> expected = {{6000, 0x4003}, {6001, 0x0013}, kSep,
                                             {4786, 0x1603}, kSep,           {4785, 0x1703},
                                             {4783, 0x1903}, kSep,           {4784, 0x1803}};
    EXPECT_EQ(Flatten(CIconMenu::Layout(CIconMenu::Kind::kChip, host, 3)), expected);
    // Without host entries there is no leading separator.
    const std::vector<MenuEntry> fixedOnly = {{4786, 0xFFFFFFFF}, kSep, {4785, 0xFFFFFFFF},
                                              {4783, 0xFFFFFFFF}, kSep, {4784, 0xFFFFFFFF}};
    EXPECT_EQ(Flatten(CIconMenu::Layout(CIconMenu::Kind::kChip, {}, 0xFFFFFFFF)), fixedOnly);
}

TEST(IconMenu, SemMenuHasItsOwnFixedEntriesAndNoBase) {
    const std::vector<MenuEntry> fixedOnly = {{4786, 0x1600}, {4785, 0x1700}, {5081, 0x2100},
                                              {4783, 0x1900}, kSep,           {4784, 0x1800}};
    EXPECT_EQ(Flatten(CIconMenu::Layout(CIconMenu::Kind::kSem, {}, 3)), fixedOnly);
    const std::vector<MenuEntry> host = {{6002, 0x20}};
    const auto items = Flatten(CIconMenu::Layout(CIconMenu::Kind::kSem, host, 3));
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[0], MenuEntry(6002, 0x20));
    EXPECT_EQ(items[1], kSep);
    EXPECT_EQ(items[2], MenuEntry(4786, 0x1600));
}
