// What an icon in the notification area shows: its picture and tooltip.
#pragma once

#include <windows.h>

struct CTrayIconData {
    HICON m_hIcon = nullptr;  // the picture; not owned (resources and design icons)
    char m_szTip[256] = {};   // the tooltip, at most 255 characters
};
