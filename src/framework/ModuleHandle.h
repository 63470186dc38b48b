// Owner of one load of a module (LoadLibrary, LoadLibraryEx): released with FreeLibrary.
// A module the library only refers to (its own instance, a module another owner loaded) is
// kept as a plain HMODULE.
#pragma once

#include <windows.h>

#include "framework/OwnedHandle.h"

using CModuleHandle = COwnedHandle<HMODULE, ::FreeLibrary>;
