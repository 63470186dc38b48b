#include "text/WideText.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

// Composed characters are checked and unmappable ones replaced by the default character, so a
// text always converts, if imperfectly.
constexpr DWORD kToAnsiFlags = WC_COMPOSITECHECK | WC_DEFAULTCHAR;

// Size of the converted text in bytes with the given flags; 0 when it does not convert.
int AnsiSize(const WCHAR* text, UINT length, DWORD flags) {
    return WideCharToMultiByte(CP_ACP, flags, text, static_cast<int>(length), nullptr, 0, nullptr,
                               nullptr);
}

}  // namespace

CWideText::CWideText() : m_pText(nullptr), m_nLength(0) {}

CWideText::~CWideText() { free(m_pText); }

StatusWord CWideText::AssignAnsi(const char* pszText) {
    if (pszText == nullptr || *pszText == '\0') {
        return ST_E_INVALIDARG;
    }
    const int size = MultiByteToWideChar(CP_ACP, 0, pszText, -1, nullptr, 0);
    if (size <= 1) {
        return ST_E_FAIL;
    }
    WCHAR* block = static_cast<WCHAR*>(malloc(static_cast<size_t>(size) * sizeof(WCHAR)));
    if (block == nullptr) {
        return ST_E_OUTOFMEMORY;
    }
    if (MultiByteToWideChar(CP_ACP, 0, pszText, -1, block, size) != size) {
        free(block);
        return ST_E_FAIL;
    }
    Take(block, static_cast<UINT>(size - 1));
    return ST_OK;
}

StatusWord CWideText::AssignWide(const WCHAR* pszText) {
    if (pszText == nullptr || *pszText == L'\0') {
        return ST_E_INVALIDARG;
    }
    const size_t length = wcslen(pszText);
    WCHAR* block = static_cast<WCHAR*>(malloc((length + 1) * sizeof(WCHAR)));
    if (block == nullptr) {
        return ST_E_OUTOFMEMORY;
    }
    memcpy(block, pszText, (length + 1) * sizeof(WCHAR));
    Take(block, static_cast<UINT>(length));
    return ST_OK;
}

StatusWord CWideText::ToAnsi(CStrBuf& out) const {
    if (m_nLength == 0) {
        out.Clear();
        return ST_OK;
    }
    DWORD flags = kToAnsiFlags;
    int size = AnsiSize(m_pText, m_nLength, flags);
    if (size == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        // Code pages such as UTF-8 take no flags; every character has a form there anyway.
        flags = 0;
        size = AnsiSize(m_pText, m_nLength, flags);
    }
    if (size <= 0) {
        return ST_E_FAIL;
    }
    char* block = static_cast<char*>(malloc(static_cast<size_t>(size) + 1));
    if (block == nullptr) {
        return ST_E_OUTOFMEMORY;
    }
    const int written = WideCharToMultiByte(CP_ACP, flags, m_pText, static_cast<int>(m_nLength),
                                            block, size, nullptr, nullptr);
    if (written <= 0) {
        free(block);
        return ST_E_FAIL;
    }
    block[written] = '\0';
    return out.Adopt(block, static_cast<std::uint32_t>(written), CStrBuf::ADOPT_KEEP_BLOCK);
}

const WCHAR* CWideText::CStr() const { return m_pText != nullptr ? m_pText : L""; }

UINT CWideText::Length() const { return m_nLength; }

void CWideText::Take(WCHAR* block, UINT n) {
    free(m_pText);
    m_pText = block;
    m_nLength = n;
}
