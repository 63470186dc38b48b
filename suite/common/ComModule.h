// What the objects of one of the suite's in-process COM servers share about their module:
// its handle and the count of what keeps it loaded (live objects and class-object locks).
// ComModule.cpp defines the module's DllMain and DllCanUnloadNow on them; each server adds
// DllGetClassObject for its own class.
#pragma once

#include <windows.h>

// The server's own module, set when it is loaded; its resources and files are found through it.
extern HINSTANCE g_hComModule;

// Counts one more object or lock that keeps the module in use.
void ComModuleAddRef();
// Counts one object or lock less.
void ComModuleRelease();
