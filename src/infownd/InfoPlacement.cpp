#include "infownd/InfoPlacement.h"

RECT EffectiveTaskbarRect(int nScreenWidth, int nScreenHeight, const RECT* pTaskbar) {
    if (pTaskbar == nullptr) return RECT{0, nScreenHeight, nScreenWidth, nScreenHeight};
    if (pTaskbar->left == 0 && pTaskbar->top == 0 && pTaskbar->right == 8 &&
        pTaskbar->bottom == 8) {
        return RECT{0, nScreenHeight - kAssumedTaskbarHeight, nScreenWidth, nScreenHeight};
    }
    return *pTaskbar;
}

InfoPlacement PlaceInfoWindow(int nScreenWidth, int nScreenHeight, const RECT* pTaskbar, int cx,
                              int cy) {
    const RECT t = EffectiveTaskbarRect(nScreenWidth, nScreenHeight, pTaskbar);
    const double halfWidth = nScreenWidth * 0.5;
    const double halfHeight = nScreenHeight * 0.5;
    if (t.right >= nScreenWidth && t.left >= halfWidth) {
        return InfoPlacement{kEdgeRight, static_cast<int>(t.left - cx),
                             static_cast<int>(t.bottom - cy - 2)};
    }
    if (t.right <= halfWidth && t.left < nScreenWidth) {
        return InfoPlacement{kEdgeLeft, static_cast<int>(t.right),
                             static_cast<int>(t.bottom - cy - 2)};
    }
    if (t.bottom >= nScreenHeight && t.top >= halfHeight) {
        return InfoPlacement{kEdgeBottom, static_cast<int>(t.right - cx),
                             static_cast<int>(t.top - cy)};
    }
    return InfoPlacement{kEdgeTop, static_cast<int>(t.right - cx), static_cast<int>(t.bottom)};
}

RECT FallbackWindowRect(int nScreenWidth, int nScreenHeight, int nClientWidth, int nClientHeight) {
    const int bottom = nScreenHeight - kAssumedTaskbarHeight;
    return RECT{nScreenWidth - nClientWidth - 2, bottom - nClientHeight - 2, nScreenWidth, bottom};
}
