// In the unit-test program the library's code is linked in, so the program
// itself is the library's module: windows, classes and resources belong to it.
#include <windows.h>

#include "core/velTrayLibApp.h"

namespace {

struct LibModuleSetup {
    LibModuleSetup() { g_hLibInstance = GetModuleHandleA(nullptr); }
} g_libModuleSetup;

}  // namespace
