#include "ShellRecorder.h"

#include <mutex>

namespace {

std::mutex g_lock;
std::vector<ShellCall> g_calls;
BOOL g_bResult = TRUE;
bool g_bPassOn = false;
decltype(&Shell_NotifyIconA) g_pfnReal = nullptr;

BOOL WINAPI RecordingNotifyIcon(DWORD dwMessage, PNOTIFYICONDATAA pData) {
    ShellCall call = {};
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    call.nTime = now.QuadPart;
    call.dwMessage = dwMessage;
    call.cbSize = pData->cbSize;
    call.hWnd = pData->hWnd;
    call.uID = pData->uID;
    call.uFlags = pData->uFlags;
    call.uCallbackMessage = pData->uCallbackMessage;
    call.hIcon = pData->hIcon;
    call.tip.assign(pData->szTip, strnlen(pData->szTip, sizeof(pData->szTip)));
    const BYTE* pBytes = reinterpret_cast<const BYTE*>(pData);
    const size_t nAfterTip = offsetof(NOTIFYICONDATAA, szTip) + sizeof(pData->szTip);
    call.bRestIsZero = true;
    for (size_t i = nAfterTip; i < pData->cbSize; ++i) call.bRestIsZero &= pBytes[i] == 0;
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.push_back(call);
    return g_bPassOn ? g_pfnReal(dwMessage, pData) : g_bResult;
}

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

ShellRecorder::ShellRecorder(HMODULE hModule, bool bPassOn)
    : m_ppSlot(FindImportSlot(hModule, "shell32.dll", "Shell_NotifyIconA")), m_pOriginal(nullptr) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.clear();
    g_bResult = TRUE;
    g_bPassOn = bPassOn;
    if (m_ppSlot == nullptr) return;
    m_pOriginal = *m_ppSlot;
    g_pfnReal = reinterpret_cast<decltype(g_pfnReal)>(m_pOriginal);
    WriteSlot(m_ppSlot, reinterpret_cast<void*>(&RecordingNotifyIcon));
}

ShellRecorder::~ShellRecorder() {
    if (m_ppSlot != nullptr) WriteSlot(m_ppSlot, m_pOriginal);
}

std::vector<ShellCall> ShellRecorder::Calls() const {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_calls;
}

std::vector<ShellCall> ShellRecorder::Take() {
    std::lock_guard<std::mutex> lock(g_lock);
    std::vector<ShellCall> calls;
    calls.swap(g_calls);
    return calls;
}

void ShellRecorder::SetResult(BOOL bResult) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_bResult = bResult;
}
