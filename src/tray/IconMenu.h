// The context menu of an icon in the notification area: the host's entries,
// then the library's fixed entries, shown by the library's own popup menu at the
// mouse cursor. A chip menu or-s the reader's command base into every command.
#pragma once

#include <windows.h>

#include <vector>

#include "tray/MenuEntry.h"

class CIconMenu {
  public:
    // The command of the last fixed entry, which ends the suite: choosing it always signals
    // the suite's monitor (a chip or-s its command base into it).
    static constexpr DWORD kCmdExit = 0x1800;

    // Which icon's menu: they differ in their fixed entries.
    enum class Kind { kChip, kSem };

    // One item of a menu.
    struct Item {
        bool bSeparator;  // a separator line; the ids do not count
        DWORD nTextId;    // the text's id in the language libraries
        DWORD nCmdId;     // the command posted to the host when it is chosen
    };

    // The items of a menu, top to bottom.
    static std::vector<Item> Layout(Kind kind, const std::vector<MenuEntry>& hostEntries,
                                    DWORD nCmdBase);
    // Builds the menu, closes the one kept from last time, hides the information
    // window at once and tracks the new menu at the cursor until it closes. A chosen
    // entry's command has been posted to the host's window by then.
    static void Open(Kind kind, const std::vector<MenuEntry>& hostEntries, DWORD nCmdBase);
};
