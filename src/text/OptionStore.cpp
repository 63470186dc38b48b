#include "text/OptionStore.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdlib>
#include <cstring>

#include "core/InitOrder.h"
#include "core/velTrayLibApp.h"

COptionStore g_optionStore VEL_SERVICE_INIT;

namespace {

// The options server's class and the interface the library asks it for.
constexpr CLSID kServerClsid = {
    0x0DD9DD30, 0xAF19, 0x496B, {0x85, 0xD1, 0x67, 0x00, 0x60, 0xC8, 0xBA, 0x3E}};
constexpr IID kServerIid = {
    0x5BF2646B, 0x015A, 0x4A87, {0xB2, 0xAC, 0xB3, 0x8C, 0xA4, 0x4A, 0xD4, 0x42}};
// The server may live in-process or in a program of the suite.
constexpr DWORD kServerContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// The option that the server is asked once, to learn whether it is usable.
constexpr UINT kProbeOption = 0xFFFFFFFF;

// The options file beside the library, in the layout of a registry export.
constexpr const char* kOptionsFile = "velOptions.reg";
// Every option's section is this prefix and the id in eight hexadecimal digits.
constexpr const char* kSectionPrefix = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmark\\Options\\0x";
// The switch's section: a non-zero value makes the file the source of all options.
constexpr const char* kSwitchSection =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmark\\Options\\0x80000000";
// The one key of a section, with the quotation marks a registry export writes.
constexpr const char* kValueKey = "\"Value\"";
// The switch's value when the file does not give one.
constexpr const char* kSwitchDefault = "dword:00000000";
// The switch's value is "dword:" and hexadecimal digits; the prefix is skipped unread.
constexpr std::uint32_t kSwitchPrefixLength = 6;

// Place-holders of file values; only the first one found is expanded.
constexpr const char* kInstallDirHolder = "%INSTALLDIR%";
constexpr const char* kTempHolder = "%TEMP%";

// The profile reader's first buffer; it doubles while a value fills it.
constexpr DWORD kFirstReadSize = 512;

// Clears the server's answer the way automation clears any VARIANT. A VT_LPSTR text stays
// the server's: VariantClear frees nothing for that type, and a server that keeps the text
// (a static or cached string) would have its heap corrupted by a free here.
void ClearAnswer(VARIANT& value) {
    if (V_VT(&value) == VT_LPSTR) V_VT(&value) = VT_EMPTY;
    VariantClear(&value);
}

// Converts a BSTR to the system code page into out; a null BSTR gives an empty text.
StatusWord ConvertBstr(BSTR bstr, CStrBuf& out) {
    out.Clear();
    if (bstr == nullptr || bstr[0] == L'\0') return ST_OK;
    int nSize = WideCharToMultiByte(CP_ACP, 0, bstr, -1, nullptr, 0, nullptr, nullptr);
    if (nSize <= 0) return StatusFromLastError();
    char* pBlock = static_cast<char*>(std::malloc(nSize));
    if (pBlock == nullptr) return ST_E_OUTOFMEMORY;
    if (WideCharToMultiByte(CP_ACP, 0, bstr, -1, pBlock, nSize, nullptr, nullptr) != nSize) {
        StatusWord nError = StatusFromLastError();
        std::free(pBlock);
        return nError;
    }
    // The converted text's own terminator is at nSize - 1; an embedded null only shortens it.
    return out.Adopt(pBlock, static_cast<std::uint32_t>(std::strlen(pBlock)), 0);
}

}  // namespace

COptionStore::COptionStore() : m_pServer(nullptr), m_nState(0), m_bUseFile(0) {}

COptionStore::COptionStore(const char* pszFolder) : COptionStore() {
    if (pszFolder == nullptr || pszFolder[0] == '\0') return;
    m_strFolder.Assign(pszFolder);
    char cLast = pszFolder[std::strlen(pszFolder) - 1];
    if (cLast != '\\' && cLast != '/') m_strFolder.Append("\\");
}

COptionStore::~COptionStore() { ReleaseServer(); }

StatusWord COptionStore::GetOption(UINT nOptionId, CStrBuf& out) {
    out.Clear();
    Init();
    if (m_nState <= 0) return 0;
    return m_bUseFile ? ReadFileOption(nOptionId, out) : ReadServerOption(nOptionId, out);
}

void COptionStore::ReleaseServer() {
    if (m_pServer != nullptr) m_pServer->Release();
    m_pServer = nullptr;
    m_nState = 0;
}

StatusWord COptionStore::ReadProfileString(const char* pszFile, const char* pszSection,
                                           const char* pszKey, CStrBuf& out,
                                           const char* pszDefault) {
    StatusWord nStatus = 0;
    DWORD nRead = 0;
    char* pBlock = nullptr;
    if (pszFile == nullptr || pszFile[0] == '\0' || std::strlen(pszFile) >= MAX_PATH ||
        pszSection == nullptr || pszSection[0] == '\0' || pszKey == nullptr || pszKey[0] == '\0') {
        nStatus = ST_E_INVALIDARG;
    } else {
        // A value that fills the buffer may have been cut, so it is read again into a
        // buffer twice as large; the file's size bounds the growth.
        DWORD nSize = kFirstReadSize;
        pBlock = static_cast<char*>(std::malloc(nSize));
        if (pBlock == nullptr) nStatus = ST_E_OUTOFMEMORY;
        while (pBlock != nullptr) {
            nRead = GetPrivateProfileStringA(pszSection, pszKey, "", pBlock, nSize, pszFile);
            if (nRead != nSize - 1) break;
            char* pGrown = nSize <= MAXDWORD / 2
                               ? static_cast<char*>(std::realloc(pBlock, nSize * 2))
                               : nullptr;
            if (pGrown == nullptr) {
                std::free(pBlock);
                pBlock = nullptr;
                nStatus = ST_E_OUTOFMEMORY;
            } else {
                pBlock = pGrown;
                nSize *= 2;
            }
        }
    }
    if (nStatus < 0 || nRead == 0) {
        std::free(pBlock);
        out.Assign(pszDefault);
        return nStatus;
    }
    return out.Adopt(pBlock, nRead, CStrBuf::ADOPT_KEEP_BLOCK);
}

void COptionStore::Init() {
    if (m_nState != 0) return;
    CStrBuf strFile;
    CStrBuf strSwitch;
    m_bUseFile = 0;
    if (MakeLibraryPath(kOptionsFile, strFile) > 0 &&
        ReadProfileString(strFile.CStr(), kSwitchSection, kValueKey, strSwitch, kSwitchDefault) >
            0 &&
        strSwitch.Length() > kSwitchPrefixLength) {
        m_bUseFile = std::strtoul(strSwitch.CStr() + kSwitchPrefixLength, nullptr, 16) != 0;
    }
    // A probe that answered 0 leaves the state 0 and Init runs again: the instance it
    // probed is released rather than dropped.
    if (m_pServer != nullptr) m_pServer->Release();
    m_pServer = nullptr;
    m_nState = -1;
    if (m_bUseFile) {
        m_nState = ST_OK;
        return;
    }
    // COM stays initialised on this thread: the held instance lives in its apartment.
    CoInitialize(nullptr);
    m_pServer = CreateServer();
    if (m_pServer == nullptr) return;
    VARIANT value;
    VariantInit(&value);
    LONG nStatus = 0;
    if (SUCCEEDED(m_pServer->GetOption(static_cast<LONG>(kProbeOption), &value, &nStatus))) {
        m_nState = nStatus;
        if (nStatus > 0 && FAILED(VariantChangeType(&value, &value, 0, VT_BOOL))) {
            m_nState = ST_E_NOTFOUND;
        }
    }
    ClearAnswer(value);
}

StatusWord COptionStore::GetLibraryDirectory(CStrBuf& out) const {
    if (!m_strFolder.IsEmpty()) {
        out.Assign(m_strFolder);
        return out.IsEmpty() ? ST_E_OUTOFMEMORY : 1;
    }
    return out.SetModuleDirectory(g_hLibInstance);
}

StatusWord COptionStore::MakeLibraryPath(const char* pszName, CStrBuf& out) const {
    if (std::strpbrk(pszName, "\\/") != nullptr) {
        out.Assign(pszName);
        return out.IsEmpty() ? ST_E_OUTOFMEMORY : 1;
    }
    StatusWord nStatus = GetLibraryDirectory(out);
    if (nStatus <= 0) return nStatus;
    std::uint32_t nDirLength = out.Length();
    out.Append(pszName);
    return out.Length() > nDirLength ? 1 : ST_E_OUTOFMEMORY;
}

StatusWord COptionStore::ReadFileOption(UINT nOptionId, CStrBuf& out) const {
    CStrBuf strFile;
    StatusWord nStatus = MakeLibraryPath(kOptionsFile, strFile);
    if (nStatus <= 0) return nStatus;
    WIN32_FILE_ATTRIBUTE_DATA stamp;
    const bool bStamped =
        GetFileAttributesExA(strFile.CStr(), GetFileExInfoStandard, &stamp) != FALSE;
    if (bStamped && ReadCachedOption(nOptionId, strFile, stamp, out, nStatus)) return nStatus;
    nStatus = ReadFileOptionUncached(nOptionId, strFile, out);
    if (bStamped) {
        CScopedLock lock(m_csCache);
        m_fileCache.bValid = true;
        m_fileCache.nOptionId = nOptionId;
        m_fileCache.strFile.Assign(strFile);
        m_fileCache.stamp = stamp;
        m_fileCache.nStatus = nStatus;
        m_fileCache.strValue.Assign(out);
    }
    return nStatus;
}

bool COptionStore::ReadCachedOption(UINT nOptionId, const CStrBuf& strFile,
                                    const WIN32_FILE_ATTRIBUTE_DATA& stamp, CStrBuf& out,
                                    StatusWord& nStatus) const {
    CScopedLock lock(m_csCache);
    const CFileCache& cache = m_fileCache;
    const bool bHit = cache.bValid && cache.nOptionId == nOptionId &&
                      cache.strFile.EqualsBytes(strFile.CStr(), strFile.Length()) != 0 &&
                      CompareFileTime(&cache.stamp.ftLastWriteTime, &stamp.ftLastWriteTime) == 0 &&
                      CompareFileTime(&cache.stamp.ftCreationTime, &stamp.ftCreationTime) == 0 &&
                      cache.stamp.nFileSizeLow == stamp.nFileSizeLow &&
                      cache.stamp.nFileSizeHigh == stamp.nFileSizeHigh;
    if (bHit) {
        out.Assign(cache.strValue);
        nStatus = cache.nStatus;
    }
    return bHit;
}

StatusWord COptionStore::ReadFileOptionUncached(UINT nOptionId, const CStrBuf& strFile,
                                                CStrBuf& out) const {
    CStrBuf strSection;
    CStrBuf strId;
    if (strId.FromInteger(static_cast<std::int32_t>(nOptionId), 16, 8) <= 0) {
        return ST_E_OUTOFMEMORY;
    }
    strSection.Assign(kSectionPrefix).Append(strId);
    const StatusWord nStatus =
        ReadProfileString(strFile.CStr(), strSection.CStr(), kValueKey, out, nullptr);
    if (nStatus <= 0) return nStatus;
    out.ReplaceAll("\\\\", "\\");
    if (out.Find(kInstallDirHolder, 0) >= 0) {
        CStrBuf strDir;
        if (GetLibraryDirectory(strDir) > 0) out.ReplaceAll(kInstallDirHolder, strDir.CStr());
    } else if (out.Find(kTempHolder, 0) >= 0) {
        // Without a temporary folder the place-holder stays, so that the value shows it was
        // not expanded instead of naming a wrong folder.
        char szTemp[MAX_PATH];
        DWORD nTemp = GetTempPathA(MAX_PATH, szTemp);
        if (nTemp > 0 && nTemp < MAX_PATH) out.ReplaceAll(kTempHolder, szTemp);
    }
    return nStatus;
}

StatusWord COptionStore::ReadServerOption(UINT nOptionId, CStrBuf& out) const {
    if (m_pServer == nullptr) return 0;
    HRESULT hr = S_OK;
    StatusWord nStatus = AskServer(m_pServer, nOptionId, out, hr);
    if (SUCCEEDED(hr)) return nStatus;
    if (hr != RPC_E_WRONG_THREAD) return ST_E_FAIL;
    // The held instance belongs to another thread's apartment: this query gets its own.
    IOptionServer* pFresh = CreateServer();
    if (pFresh == nullptr) return ST_E_FAIL;
    nStatus = AskServer(pFresh, nOptionId, out, hr);
    pFresh->Release();
    return SUCCEEDED(hr) ? nStatus : 0;
}

COptionStore::IOptionServer* COptionStore::CreateServer() {
    void* pServer = nullptr;
    if (FAILED(CoCreateInstance(kServerClsid, nullptr, kServerContext, kServerIid, &pServer))) {
        return nullptr;
    }
    return static_cast<IOptionServer*>(pServer);
}

StatusWord COptionStore::AskServer(IOptionServer* pServer, UINT nOptionId, CStrBuf& out,
                                   HRESULT& hr) {
    VARIANT value;
    VariantInit(&value);
    LONG nAnswer = 0;
    StatusWord nStatus = 0;
    hr = pServer->GetOption(static_cast<LONG>(nOptionId), &value, &nAnswer);
    if (SUCCEEDED(hr)) {
        nStatus = nAnswer;
        if (nAnswer > 0) {
            StatusWord nText = ST_OK;
            if (V_VT(&value) == VT_BSTR) {
                nText = ConvertBstr(V_BSTR(&value), out);
            } else if (V_VT(&value) == VT_LPSTR) {
                const char* pszText = static_cast<const char*>(V_BYREF(&value));
                if (pszText != nullptr && pszText[0] != '\0' && out.Assign(pszText).IsEmpty()) {
                    nText = ST_E_OUTOFMEMORY;
                }
            } else {
                nText = ST_E_NOTFOUND;
            }
            if (nText <= 0) {
                out.Clear();
                nStatus = nText;
            }
        }
    }
    ClearAnswer(value);
    return nStatus;
}
