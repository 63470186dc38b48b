// Loads velTrayLib.dll at run time and finds its 18 exports: the way a host
// that does not link the import library uses the library.
#pragma once

#include <windows.h>

#include <string>

#include "velTrayLib.h"

struct VelTrayApi {
    HMODULE hModule = nullptr;  // the loaded library, null when not loaded
#define VEL_EXPORT(name) decltype(&::name) name = nullptr;
#include "VelTrayExports.inc"
#undef VEL_EXPORT

    // The folder of the running program, with a trailing backslash.
    static std::string ProgramFolder() {
        char path[MAX_PATH] = {};
        const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string folder(path, n);
        return folder.substr(0, folder.find_last_of('\\') + 1);
    }

    // Loads the library from a path (default: beside the program); false when
    // it cannot be loaded or an export is missing.
    bool Load(const std::string& path = ProgramFolder() + "velTrayLib.dll") {
        hModule = LoadLibraryA(path.c_str());
        if (hModule == nullptr) return false;
        bool ok = true;
#define VEL_EXPORT(name)                                                   \
    ok = (name = reinterpret_cast<decltype(name)>(                         \
              reinterpret_cast<void*>(GetProcAddress(hModule, #name)))) && \
         ok;
#include "VelTrayExports.inc"
#undef VEL_EXPORT
        return ok;
    }

    // Unloads the library; its process-wide state is gone with it.
    void Unload() {
        if (hModule != nullptr) FreeLibrary(hModule);
        *this = VelTrayApi();
    }
};
