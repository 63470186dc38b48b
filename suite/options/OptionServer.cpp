#include "OptionServer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ComModule.h"

namespace {

// The environment variable that names the answers file.
constexpr const char* kAnswersVariable = "VEL_OPTSRV_ANSWERS";
// The answers file beside the DLL when the variable is not set.
constexpr const char* kAnswersFile = "velOptSrv.ini";
// The answers file's section for the server as a whole.
constexpr const char* kServerSection = "Server";
// The probe's option id.
constexpr LONG kProbeOption = static_cast<LONG>(0xFFFFFFFF);
// Room for one value of the answers file.
constexpr DWORD kValueSize = 1024;

}  // namespace

HRESULT COptionServer::Create(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    char szPath[MAX_PATH];
    if (!GetAnswersPath(szPath)) return E_FAIL;
    HRESULT hr = ReadNumber(szPath, kServerSection, "CreateResult", S_OK);
    if (FAILED(hr)) return hr;
    return CComObject::Create(riid, ppv);
}

COptionServer::COptionServer() : m_stamp(), m_nThreadId(GetCurrentThreadId()) {}

bool COptionServer::OffersInterface(REFIID riid) const {
    return IsEqualIID(riid, IID_IOptionServer);
}

HRESULT STDMETHODCALLTYPE COptionServer::SetOption(LONG, VARIANT*, LONG* pStatus) {
    if (pStatus != nullptr) *pStatus = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COptionServer::DeleteOption(LONG, LONG* pStatus) {
    if (pStatus != nullptr) *pStatus = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COptionServer::Flush(LONG* pStatus) {
    if (pStatus != nullptr) *pStatus = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COptionServer::Reload(LONG* pStatus) {
    if (pStatus == nullptr) return E_POINTER;
    *pStatus = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COptionServer::GetOption(LONG nOptionId, VARIANT* pValue, LONG* pStatus) {
    if (pValue == nullptr || pStatus == nullptr) return E_POINTER;
    VariantInit(pValue);
    *pStatus = 0;
    if (GetCurrentThreadId() != m_nThreadId) return RPC_E_WRONG_THREAD;
    char szPath[MAX_PATH];
    if (!GetAnswersPath(szPath)) return E_FAIL;
    const CAnswer& answer = FindAnswer(szPath, nOptionId);
    if (FAILED(answer.hr)) return answer.hr;
    const HRESULT hr = MakeValue(answer.type.c_str(), answer.value.c_str(), pValue);
    if (FAILED(hr)) return hr;
    *pStatus = answer.nStatus;
    return S_OK;
}

const COptionServer::CAnswer& COptionServer::FindAnswer(const char* pszPath, LONG nOptionId) {
    WIN32_FILE_ATTRIBUTE_DATA stamp = {};
    GetFileAttributesExA(pszPath, GetFileExInfoStandard, &stamp);
    if (m_strAnswersPath != pszPath ||
        CompareFileTime(&stamp.ftLastWriteTime, &m_stamp.ftLastWriteTime) != 0 ||
        stamp.nFileSizeLow != m_stamp.nFileSizeLow ||
        stamp.nFileSizeHigh != m_stamp.nFileSizeHigh) {
        m_answers.clear();
        m_strAnswersPath = pszPath;
        m_stamp = stamp;
    }
    auto found = m_answers.find(nOptionId);
    if (found != m_answers.end()) return found->second;

    char szSection[16];
    std::snprintf(szSection, sizeof szSection, "0x%08lx", static_cast<unsigned long>(nOptionId));
    CAnswer answer;
    answer.hr = ReadNumber(pszPath, szSection, "Result", S_OK);
    const bool bProbe = nOptionId == kProbeOption;
    char szType[16];
    GetPrivateProfileStringA(szSection, "Type", bProbe ? "BOOL" : "", szType, sizeof szType,
                             pszPath);
    answer.type = szType;
    std::string value(kValueSize, '\0');
    const DWORD nValue = GetPrivateProfileStringA(szSection, "Value", bProbe ? "1" : "", &value[0],
                                                  kValueSize, pszPath);
    value.resize(nValue);
    answer.value = value;
    answer.nStatus = ReadNumber(pszPath, szSection, "Status", szType[0] != '\0' ? 1 : 0);
    return m_answers.emplace(nOptionId, answer).first->second;
}

bool COptionServer::GetAnswersPath(char (&szPath)[MAX_PATH]) {
    DWORD nLength = GetEnvironmentVariableA(kAnswersVariable, szPath, MAX_PATH);
    if (nLength > 0 && nLength < MAX_PATH) return true;
    nLength = GetModuleFileNameA(g_hComModule, szPath, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH) return false;
    char* pszSlash = std::strrchr(szPath, '\\');
    std::size_t nDir = pszSlash != nullptr ? pszSlash + 1 - szPath : 0;
    if (nDir + std::strlen(kAnswersFile) >= MAX_PATH) return false;
    std::strcpy(szPath + nDir, kAnswersFile);
    return true;
}

LONG COptionServer::ReadNumber(const char* pszPath, const char* pszSection, const char* pszKey,
                               LONG nDefault) {
    char szNumber[32];
    if (GetPrivateProfileStringA(pszSection, pszKey, "", szNumber, sizeof szNumber, pszPath) == 0) {
        return nDefault;
    }
    return static_cast<LONG>(std::strtoul(szNumber, nullptr, 0));
}

HRESULT COptionServer::MakeValue(const char* pszType, const char* pszValue, VARIANT* pValue) {
    if (lstrcmpiA(pszType, "BSTR") == 0) {
        int nChars = MultiByteToWideChar(CP_ACP, 0, pszValue, -1, nullptr, 0);
        if (nChars <= 0) return HRESULT_FROM_WIN32(GetLastError());
        BSTR bstr = SysAllocStringLen(nullptr, nChars - 1);
        if (bstr == nullptr) return E_OUTOFMEMORY;
        MultiByteToWideChar(CP_ACP, 0, pszValue, -1, bstr, nChars);
        V_VT(pValue) = VT_BSTR;
        V_BSTR(pValue) = bstr;
    } else if (lstrcmpiA(pszType, "LPSTR") == 0) {
        std::size_t nSize = std::strlen(pszValue) + 1;
        char* pszText = static_cast<char*>(CoTaskMemAlloc(nSize));
        if (pszText == nullptr) return E_OUTOFMEMORY;
        std::memcpy(pszText, pszValue, nSize);
        V_VT(pValue) = VT_LPSTR;
        V_BYREF(pValue) = pszText;
    } else if (lstrcmpiA(pszType, "I4") == 0) {
        V_VT(pValue) = VT_I4;
        V_I4(pValue) = static_cast<LONG>(std::strtoul(pszValue, nullptr, 0));
    } else if (lstrcmpiA(pszType, "BOOL") == 0) {
        V_VT(pValue) = VT_BOOL;
        V_BOOL(pValue) = std::strtoul(pszValue, nullptr, 0) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
}
