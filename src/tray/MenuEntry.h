// An entry of an icon's context menu as the host adds it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

// (text id, command id).
using MenuEntry = std::pair<DWORD, DWORD>;

// Appends the entry unless the same pair is in the list already.
inline void AddUniqueMenuEntry(std::vector<MenuEntry>& entries, DWORD nTextId, DWORD nCmdId) {
    const MenuEntry entry(nTextId, nCmdId);
    if (std::find(entries.begin(), entries.end(), entry) == entries.end()) {
        entries.push_back(entry);
    }
}
