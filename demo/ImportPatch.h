// Bends one import of a module (a loaded DLL, or a program the library is linked
// into) to a replacement for the life of the object: the way the demo and the
// tests watch the calls the library makes to the system without changing it.
#pragma once

#include <windows.h>

class CImportPatch {
  public:
    // hModule null: the running program itself.
    CImportPatch(HMODULE hModule, const char* pszDll, const char* pszFunction, void* pReplacement);
    // Puts the original back.
    ~CImportPatch();
    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;

    // True when the import was found and bent.
    bool IsActive() const { return m_ppSlot != nullptr; }
    // The function the slot held before.
    void* Original() const { return m_pOriginal; }

  private:
    void** m_ppSlot;    // the bent import slot, null when not found
    void* m_pOriginal;  // what the slot held
};
