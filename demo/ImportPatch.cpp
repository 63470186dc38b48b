#include "ImportPatch.h"

#include <cstring>

namespace {

// The import address slot of a function in a module, or null.
void** FindImportSlot(HMODULE hModule, const char* pszDll, const char* pszFunction) {
    auto* pBase = reinterpret_cast<BYTE*>(hModule);
    auto* pNt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        pBase + reinterpret_cast<IMAGE_DOS_HEADER*>(pBase)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return nullptr;
    for (auto* pImport = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(pBase + dir.VirtualAddress);
         pImport->Name != 0; ++pImport) {
        if (lstrcmpiA(reinterpret_cast<char*>(pBase + pImport->Name), pszDll) != 0) continue;
        auto* pNames = reinterpret_cast<IMAGE_THUNK_DATA*>(pBase + pImport->OriginalFirstThunk);
        auto* pSlots = reinterpret_cast<IMAGE_THUNK_DATA*>(pBase + pImport->FirstThunk);
        for (; pNames->u1.AddressOfData != 0; ++pNames, ++pSlots) {
            if (IMAGE_SNAP_BY_ORDINAL(pNames->u1.Ordinal)) continue;
            auto* pByName =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(pBase + pNames->u1.AddressOfData);
            if (strcmp(reinterpret_cast<char*>(pByName->Name), pszFunction) == 0) {
                return reinterpret_cast<void**>(&pSlots->u1.Function);
            }
        }
    }
    return nullptr;
}

void WriteSlot(void** ppSlot, void* pValue) {
    DWORD dwOld = 0;
    VirtualProtect(ppSlot, sizeof(void*), PAGE_READWRITE, &dwOld);
    *ppSlot = pValue;
    VirtualProtect(ppSlot, sizeof(void*), dwOld, &dwOld);
}

}  // namespace

CImportPatch::CImportPatch(HMODULE hModule, const char* pszDll, const char* pszFunction,
                           void* pReplacement)
    : m_ppSlot(FindImportSlot(hModule != nullptr ? hModule : GetModuleHandleA(nullptr), pszDll,
                              pszFunction)),
      m_pOriginal(nullptr) {
    if (m_ppSlot == nullptr) return;
    m_pOriginal = *m_ppSlot;
    WriteSlot(m_ppSlot, pReplacement);
}

CImportPatch::~CImportPatch() {
    if (m_ppSlot != nullptr) WriteSlot(m_ppSlot, m_pOriginal);
}
