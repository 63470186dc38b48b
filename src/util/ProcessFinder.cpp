#include "util/ProcessFinder.h"

#include <mbstring.h>

#include <cstring>

#include "text/StrBuf.h"
#include "util/OsInfo.h"
#include "util/TraceLog.h"

namespace {

// Enough to list a process's modules.
constexpr DWORD kQueryAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
// Process ids and module handles examined per process listing.
constexpr DWORD kMaxListed = 2048;
// Characters of a module file name read in psapi mode.
constexpr DWORD kModuleNameChars = 520;
// Characters of a short path name.
constexpr DWORD kShortPathChars = 260;

static_assert(sizeof(PROCESSENTRY32) == 296, "the ANSI process entry of the tool-help functions");

// The text after the last backslash, or the whole text when it has none.
const char* FilePart(const char* pszPath) {
    const unsigned char* pSlash = _mbsrchr(reinterpret_cast<const unsigned char*>(pszPath), '\\');
    return pSlash != nullptr ? reinterpret_cast<const char*>(pSlash + 1) : pszPath;
}

// A function of a loaded library, or null.
template <class Fn>
Fn Lookup(HMODULE hModule, const char* pszName) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(hModule, pszName)));
}

// Looks up three functions of a library (null: none is loaded): all three, or none of them.
template <class A, class B, class C>
bool LookupAll(HMODULE hModule, A& pfnA, const char* pszA, B& pfnB, const char* pszB, C& pfnC,
               const char* pszC) {
    if (hModule != nullptr) {
        pfnA = Lookup<A>(hModule, pszA);
        pfnB = Lookup<B>(hModule, pszB);
        pfnC = Lookup<C>(hModule, pszC);
        if (pfnA != nullptr && pfnB != nullptr && pfnC != nullptr) return true;
    }
    pfnA = nullptr;
    pfnB = nullptr;
    pfnC = nullptr;
    return false;
}

// The text, replaced by its short form when the platform gives one that fits.
void ToShortForm(const char* pszText, CStrBuf& out) {
    out.Assign(pszText);
    char szShort[kShortPathChars];
    const DWORD nLength = GetShortPathNameA(out.CStr(), szShort, kShortPathChars);
    if (nLength > 0 && nLength < kShortPathChars) out.Assign(szShort);
}

}  // namespace

CProcessFind::CProcessFind() : CProcessFind(g_osInfo.GetOsInfo()->m_nOsCode == COsInfo::OS_NT4) {}

CProcessFind::CProcessFind(bool bUsePsapi)
    : m_bUsePsapi(bUsePsapi),
      m_pfnCreateSnapshot(nullptr),
      m_pfnProcessFirst(nullptr),
      m_pfnProcessNext(nullptr),
      m_pfnEnumModules(nullptr),
      m_pfnModuleFileName(nullptr),
      m_pfnEnumProcesses(nullptr) {
    // Without the functions or the snapshot every Find answers "not found".
    Refresh(TH32CS_SNAPALL, 0);
}

int CProcessFind::Find(DWORD& nProcessId, const char* pszName) {
    if (pszName == nullptr) return 0;
    return m_bUsePsapi ? FindWithPsapi(nProcessId, pszName) : FindInSnapshot(nProcessId, pszName);
}

bool CProcessFind::SameFileName(const char* pszFirst, const char* pszSecond) {
    CStrBuf first;
    CStrBuf second;
    ToShortForm(pszFirst, first);
    ToShortForm(pszSecond, second);
    first.ToLower();
    second.ToLower();
    return first.Compare(second.CStr(), second.Length()) == 0;
}

int CProcessFind::Refresh(DWORD nFlags, DWORD nProcessId) {
    m_hSnapshot.Reset();
    if (m_bUsePsapi) {
        if (m_hPsapi.Get() == nullptr) m_hPsapi.Reset(LoadSystemLibrary("psapi.dll"));
        return LookupAll(m_hPsapi.Get(), m_pfnEnumProcesses, "EnumProcesses", m_pfnEnumModules,
                         "EnumProcessModules", m_pfnModuleFileName, "GetModuleFileNameExA")
                   ? 1
                   : 0;
    }
    if (m_hKernel.Get() == nullptr) m_hKernel.Reset(LoadSystemLibrary("kernel32.dll"));
    if (!LookupAll(m_hKernel.Get(), m_pfnProcessFirst, "Process32First", m_pfnProcessNext,
                   "Process32Next", m_pfnCreateSnapshot, "CreateToolhelp32Snapshot")) {
        return 0;
    }
    // A failed snapshot comes back as INVALID_HANDLE_VALUE, which owns nothing.
    const HANDLE hSnapshot = nFlags != 0 ? m_pfnCreateSnapshot(nFlags, nProcessId) : nullptr;
    if (hSnapshot != INVALID_HANDLE_VALUE) m_hSnapshot.Reset(hSnapshot);
    return m_hSnapshot.Get() != nullptr ? 1 : 0;
}

int CProcessFind::First(PROCESSENTRY32& entry) {
    if (m_bUsePsapi || m_pfnProcessFirst == nullptr || m_pfnProcessNext == nullptr) return 0;
    BOOL bFound = m_pfnProcessFirst(m_hSnapshot.Get(), &entry);
    while (bFound && entry.th32ProcessID == 0) bFound = m_pfnProcessNext(m_hSnapshot.Get(), &entry);
    return bFound ? 1 : 0;
}

int CProcessFind::Next(PROCESSENTRY32& entry) {
    if (m_bUsePsapi || m_pfnProcessNext == nullptr) return 0;
    BOOL bFound = m_pfnProcessNext(m_hSnapshot.Get(), &entry);
    while (bFound && entry.th32ProcessID == 0) bFound = m_pfnProcessNext(m_hSnapshot.Get(), &entry);
    return bFound ? 1 : 0;
}

int CProcessFind::FindInSnapshot(DWORD& nProcessId, const char* pszName) {
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (int bFound = First(entry); bFound; bFound = Next(entry)) {
        entry.szExeFile[MAX_PATH - 1] = '\0';
        if (SameFileName(FilePart(entry.szExeFile), pszName)) {
            nProcessId = entry.th32ProcessID;
            return 1;
        }
    }
    return 0;
}

int CProcessFind::FindWithPsapi(DWORD& nProcessId, const char* pszName) {
    if (m_hPsapi.Get() == nullptr || m_pfnEnumProcesses == nullptr || m_pfnEnumModules == nullptr ||
        m_pfnModuleFileName == nullptr) {
        g_traceLog.WriteLine("ProcessFind: NTOS: bad psapi dll");
        return 0;
    }
    DWORD processIds[kMaxListed];
    DWORD nBytes = 0;
    if (!m_pfnEnumProcesses(processIds, sizeof(processIds), &nBytes)) return 0;
    DWORD nCount = nBytes / sizeof(DWORD);
    if (nCount > kMaxListed) nCount = kMaxListed;
    for (DWORD i = 0; i < nCount; ++i) {
        if (processIds[i] == 0) continue;
        const CKernelHandle hProcess(OpenProcess(kQueryAccess, FALSE, processIds[i]));
        if (hProcess.Get() == nullptr) continue;
        HMODULE modules[kMaxListed];
        DWORD nModuleBytes = 0;
        if (!m_pfnEnumModules(hProcess.Get(), modules, sizeof(modules), &nModuleBytes) ||
            nModuleBytes < sizeof(HMODULE)) {
            continue;
        }
        char szFileName[kModuleNameChars];
        DWORD nLength =
            m_pfnModuleFileName(hProcess.Get(), modules[0], szFileName, kModuleNameChars);
        if (nLength == 0) continue;
        // A name cut at the buffer's end may come without its terminator.
        if (nLength >= kModuleNameChars) nLength = kModuleNameChars - 1;
        szFileName[nLength] = '\0';
        if (SameFileName(FilePart(szFileName), pszName)) {
            nProcessId = processIds[i];
            return 1;
        }
    }
    return 0;
}

HMODULE CProcessFind::LoadSystemLibrary(const char* pszFileName) {
    // Built in place rather than on the heap: a path cut short by a failed allocation could
    // name a file outside the system folder.
    char szPath[MAX_PATH];
    const UINT nFolder = GetSystemDirectoryA(szPath, MAX_PATH);
    const size_t nFile = strlen(pszFileName);
    if (nFolder == 0 || nFolder + 1 + nFile >= MAX_PATH) return nullptr;
    szPath[nFolder] = '\\';
    memcpy(szPath + nFolder + 1, pszFileName, nFile + 1);
    return LoadLibraryA(szPath);
}
