// Where the information window goes: beside the taskbar, on the side of the screen the
// taskbar is on. Pure rules over sizes and rectangles, so that every edge can be checked
// without a real taskbar.
#pragma once

#include <windows.h>

// Edges of the screen the taskbar can be on.
constexpr int kEdgeBottom = 0;
constexpr int kEdgeRight = 1;
constexpr int kEdgeTop = 2;
constexpr int kEdgeLeft = 3;

// Height of the taskbar assumed where its real rectangle is unknown.
constexpr int kAssumedTaskbarHeight = 34;

// The outcome of the rules: the taskbar's edge and the window's top-left corner.
struct InfoPlacement {
    int nEdge;  // kEdgeBottom, kEdgeRight, kEdgeTop or kEdgeLeft
    int x;      // left of the window
    int y;      // top of the window
};

// The taskbar rectangle the rules work with. The shell reports (0, 0, 8, 8) for a taskbar
// along the bottom whose real place it does not tell; that becomes a bar of the assumed
// height along the bottom. Without a taskbar (null) the window belongs in the bottom-right
// corner of the screen, so the rules get a bar of no height along the bottom edge.
RECT EffectiveTaskbarRect(int nScreenWidth, int nScreenHeight, const RECT* pTaskbar);

// Edge and place of a cx by cy window for a screen and its taskbar (null: none).
InfoPlacement PlaceInfoWindow(int nScreenWidth, int nScreenHeight, const RECT* pTaskbar, int cx,
                              int cy);

// Where the animations run when the window lies above the screen (a negative top): the
// bottom-right corner above a taskbar of the assumed height, sized by the client area.
RECT FallbackWindowRect(int nScreenWidth, int nScreenHeight, int nClientWidth, int nClientHeight);
