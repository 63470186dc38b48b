#include "text/TextTable.h"

#include <cstddef>
#include <cstring>

#include "core/InitOrder.h"

CTextTable g_textTable VEL_SERVICE_INIT;

namespace {

// File names of language libraries: any three characters, then this.
constexpr char kLibraryPattern[] = "???SEMk.dll";
// Files whose names begin with this (any case) belong to the suite itself and are never loaded as
// a language, even when they match the pattern.
constexpr char kSuitePrefix[] = "vel";
constexpr size_t kSuitePrefixLength = sizeof(kSuitePrefix) - 1;
// Text id of a library's own language code.
constexpr UINT kCodeTextId = 2;
// Length of a language code.
constexpr UINT kCodeLength = 3;
// Entries per string-table block.
constexpr UINT kEntriesPerBlock = 16;
// Highest id a string table can address: block names are 16-bit.
constexpr UINT kMaxTextId = 0xFFFF;
// Resource language of the string tables.
constexpr WORD kNeutralLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

// Whether every section that the file's headers describe lies within the file. A cut file may
// still map as a data file, its missing tail read as zeros: its texts would come out cut.
bool IsWholeFile(HMODULE hData, const char* pszPath) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(pszPath, GetFileExInfoStandard, &info) || info.nFileSizeHigh != 0) {
        return false;
    }
    const DWORD nFileSize = info.nFileSizeLow;
    if (nFileSize < sizeof(IMAGE_DOS_HEADER) + sizeof(IMAGE_NT_HEADERS32)) {
        return false;
    }
    // A data file's handle is its base address with the low bits set as a mark.
    const BYTE* pBase = reinterpret_cast<const BYTE*>(reinterpret_cast<UINT_PTR>(hData) &
                                                      ~static_cast<UINT_PTR>(3));
    IMAGE_DOS_HEADER dos;
    memcpy(&dos, pBase, sizeof dos);
    if (dos.e_lfanew < 0 ||
        static_cast<DWORD>(dos.e_lfanew) > nFileSize - sizeof(IMAGE_NT_HEADERS32)) {
        return false;
    }
    IMAGE_NT_HEADERS32 nt;
    memcpy(&nt, pBase + dos.e_lfanew, sizeof nt);
    const DWORD nTableAt = static_cast<DWORD>(dos.e_lfanew) +
                           offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                           nt.FileHeader.SizeOfOptionalHeader;
    const DWORD nTableEnd =
        nTableAt + nt.FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER);
    // Only the headers are sure to be mapped; the section table lies among them.
    if (nTableEnd > nFileSize || nTableEnd > nt.OptionalHeader.SizeOfHeaders) {
        return false;
    }
    for (WORD nSection = 0; nSection < nt.FileHeader.NumberOfSections; ++nSection) {
        IMAGE_SECTION_HEADER section;
        memcpy(&section, pBase + nTableAt + nSection * sizeof section, sizeof section);
        if (section.PointerToRawData > nFileSize ||
            section.SizeOfRawData > nFileSize - section.PointerToRawData) {
            return false;
        }
    }
    return true;
}

}  // namespace

CTextTable::CTextTable()
    : m_hCurrent(nullptr), m_hLibraries(), m_nStatus(), m_pfnStringLoader(&ReadStringEntry) {}

CTextTable::~CTextTable() { ReleaseLibraries(); }

StatusWord CTextTable::Load(HMODULE hLibModule) {
    // Load runs at every start of the tray: the libraries of an earlier start are released first,
    // so that a restart neither leaks them nor keeps one of them as a stale current language.
    ReleaseLibraries();

    CStrBuf dir;
    if (dir.SetModuleDirectory(hLibModule) > 0) {
        CStrBuf pattern(dir);
        pattern.Append(kLibraryPattern);
        WIN32_FIND_DATAA found;
        const HANDLE hFind = FindFirstFileA(pattern.CStr(), &found);
        if (hFind != INVALID_HANDLE_VALUE) {
            // A refused file leaves the slot to the next file, so only accepted ones count
            // towards the nine.
            int nSlot = 1;
            do {
                if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0 ||
                    _strnicmp(found.cFileName, kSuitePrefix, kSuitePrefixLength) == 0) {
                    continue;
                }
                CStrBuf path(dir);
                path.Append(found.cFileName);
                AddLibrary(path.CStr(), nSlot);
                if (m_nStatus[nSlot] > 0) {
                    ++nSlot;
                }
            } while (nSlot < kSlotCount && FindNextFileA(hFind, &found));
            FindClose(hFind);
        }
    }
    m_nStatus[0] = m_hCurrent != nullptr ? ST_OK : ST_E_NOTFOUND;
    return m_nStatus[0];
}

StatusWord CTextTable::SelectLanguage(const char* pszCode) {
    if (pszCode == nullptr) {
        return 0;
    }
    CStrBuf wanted(pszCode);
    wanted.ToLower();
    for (int nSlot = 1; nSlot < kSlotCount; ++nSlot) {
        const HMODULE hLibrary = m_hLibraries[nSlot].Get();
        if (m_nStatus[nSlot] <= 0 || hLibrary == nullptr) {
            continue;
        }
        CWideText code;
        CStrBuf ansiCode;
        if (GetText(hLibrary, kCodeTextId, code) <= 0 || code.ToAnsi(ansiCode) <= 0) {
            continue;
        }
        ansiCode.ToLower();
        if (ansiCode.EqualsBytes(wanted.CStr(), wanted.Length()) > 0) {
            m_hCurrent = hLibrary;
            return ST_OK;
        }
    }
    return ST_E_NOTFOUND;
}

StatusWord CTextTable::Lookup(UINT nTextId, CStrBuf& out) const {
    for (int nSlot = 0; nSlot < kSlotCount; ++nSlot) {
        const HMODULE hLibrary = SlotLibrary(nSlot);
        CWideText text;
        if (hLibrary != nullptr && GetText(hLibrary, nTextId, text) > 0) {
            return text.ToAnsi(out);
        }
    }
    return 0;
}

StatusWord CTextTable::AddLibrary(const char* pszPath, int nSlot) {
    CModuleHandle& library = m_hLibraries[nSlot];
    // As a data file the library is only mapped: none of its code ever runs.
    library.Reset(LoadLibraryExA(pszPath, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (library.Get() != nullptr && !IsWholeFile(library.Get(), pszPath)) {
        library.Reset();
        SetLastError(ERROR_BAD_EXE_FORMAT);
    }
    if (library.Get() == nullptr) {
        m_nStatus[nSlot] = StatusFromLastError();
        return ST_OK;
    }
    CWideText code;
    if (GetText(library.Get(), kCodeTextId, code) > 0 && code.Length() == kCodeLength) {
        m_nStatus[nSlot] = ST_OK;
        if (m_hCurrent == nullptr) {
            m_hCurrent = library.Get();
        }
    } else {
        library.Reset();
    }
    return ST_OK;
}

StatusWord CTextTable::GetText(HMODULE hLibrary, UINT nTextId, CWideText& out) const {
    WCHAR buffer[kTextCapacity];
    if (m_pfnStringLoader(hLibrary, nTextId, buffer, kTextCapacity) > 0) {
        return out.AssignWide(buffer);
    }
    return StatusFromLastError();
}

void CTextTable::ReleaseLibraries() {
    m_hCurrent = nullptr;
    for (int nSlot = 0; nSlot < kSlotCount; ++nSlot) {
        m_hLibraries[nSlot].Reset();
        m_nStatus[nSlot] = 0;
    }
}

HMODULE CTextTable::SlotLibrary(int nSlot) const {
    return nSlot == 0 ? m_hCurrent : m_hLibraries[nSlot].Get();
}

int CTextTable::ReadStringEntry(HMODULE hLibrary, UINT nTextId, WCHAR* pBuffer, int nCapacity) {
    if (pBuffer == nullptr || nCapacity <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    pBuffer[0] = L'\0';
    // A larger id would name its block with a truncated number and so read another id's text.
    if (nTextId > kMaxTextId) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const HRSRC hBlock = FindResourceExA(
        hLibrary, RT_STRING, MAKEINTRESOURCEA(nTextId / kEntriesPerBlock + 1), kNeutralLanguage);
    if (hBlock == nullptr) {
        return 0;
    }
    const DWORD nBlockBytes = SizeofResource(hLibrary, hBlock);
    const HGLOBAL hData = LoadResource(hLibrary, hBlock);
    const BYTE* pBlock = hData != nullptr ? static_cast<const BYTE*>(LockResource(hData)) : nullptr;
    if (pBlock == nullptr) {
        return 0;
    }

    // The counts come from a file of unknown origin: every word read is checked against the
    // block's size. An entry that runs past the end of the block, and every entry behind it, has
    // no text; the entries before it stay readable.
    const DWORD nBlockWords = nBlockBytes / sizeof(WCHAR);
    auto wordAt = [pBlock](DWORD nWord) {
        WORD value;
        memcpy(&value, pBlock + nWord * sizeof(WCHAR), sizeof(value));
        return value;
    };
    DWORD nPos = 0;
    for (UINT nSkip = nTextId % kEntriesPerBlock; nSkip > 0 && nPos < nBlockWords; --nSkip) {
        nPos += 1 + wordAt(nPos);
    }
    if (nPos >= nBlockWords || wordAt(nPos) > nBlockWords - nPos - 1) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    const int nCount = wordAt(nPos);
    const int nCopy = nCount < nCapacity - 1 ? nCount : nCapacity - 1;
    memcpy(pBuffer, pBlock + (nPos + 1) * sizeof(WCHAR),
           static_cast<size_t>(nCopy) * sizeof(WCHAR));
    pBuffer[nCopy] = L'\0';
    // An empty entry is "nothing found", not a failure.
    SetLastError(ERROR_SUCCESS);
    return nCount;
}
