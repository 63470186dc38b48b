// What the component's classes share about their module: its handle and the count
// of what keeps it loaded (live objects and class-object locks).
#pragma once

#include <windows.h>

// The component's own module, set when it is loaded; its resources are found through it.
extern HINSTANCE g_hDsgnModule;

// Counts one more object or lock that keeps the module in use.
void DsgnModuleAddRef();
// Counts one object or lock less.
void DsgnModuleRelease();
