// Owner of an icon the library made itself (CreateIcon, CreateIconIndirect, CopyIcon,
// CopyImage, LoadImage without LR_SHARED): destroyed with DestroyIcon. Icons from LoadIcon are
// shared by the system and must never be destroyed, so they are never put in a CIconHandle.
#pragma once

#include <windows.h>

#include "framework/OwnedHandle.h"

using CIconHandle = COwnedHandle<HICON, ::DestroyIcon>;
