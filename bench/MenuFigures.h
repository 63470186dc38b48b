// The bitmap menu's speed, measured beside the platform's own popup menu in the same run.
#pragma once

#include <windows.h>

#include <cstddef>

struct MenuFigures {
    double dBitmapMs = 0;     // Track to the first complete paint, ten items (median)
    double dPlatformMs = 0;   // TrackPopupMenu of the same items (median)
    size_t nRounds = 0;       // rounds in which both menus were measured
    double dItemPaintMs = 0;  // one item with a 16 x 16 item bitmap, per paint
    int nItemPaints = 0;      // paints the item time is taken over
};

// Opens both menus nRounds times on the library's code linked into this program.
MenuFigures MeasureBitmapMenu(int nRounds);

// The time from the shell's callback message for a right-click, posted to a chip icon's
// window, to its menu's first complete paint: median over nRounds, -1 when no menu opened.
double MeasureClickToMenu(HWND hIconWnd, int nRounds);
