// How the information window goes away.
#pragma once

#include <windows.h>

enum class HideMode : BYTE {
    kSlide,   // back into the taskbar, step by step (velHideInformation)
    kAtOnce,  // in one step (a context menu is about to open)
};
