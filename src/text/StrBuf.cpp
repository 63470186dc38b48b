#include "text/StrBuf.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Returned by CStr for every empty buffer so that callers never see null.
const char kEmptyText[] = "";

// Room _ltoa needs at most: 32 binary digits, or a sign and 10 decimal digits.
constexpr std::uint32_t kMaxIntegerDigits = 33;

// GetModuleFileNameA's buffer size; longer names come back truncated.
constexpr DWORD kModuleNameSize = MAX_PATH;

}  // namespace

CStrBuf::CStrBuf() : m_nLength(0), m_pData(nullptr), m_nCapacity(0) {}

CStrBuf::CStrBuf(const char* text) : CStrBuf() { Assign(text); }

CStrBuf::CStrBuf(const CStrBuf& other) : CStrBuf() { Assign(other); }

CStrBuf& CStrBuf::operator=(const CStrBuf& other) { return Assign(other); }

CStrBuf::~CStrBuf() { Clear(); }

void CStrBuf::Clear() {
    free(m_pData);
    m_pData = nullptr;
    m_nLength = 0;
    m_nCapacity = 0;
}

StatusWord CStrBuf::Allocate(std::uint32_t n) {
    if (m_pData == nullptr || m_nCapacity <= n) {
        Clear();
        // n + 1 would wrap to 0 and malloc(0) may succeed, leaving no room for the terminator.
        if (n == UINT32_MAX) {
            return ST_E_OUTOFMEMORY;
        }
        m_pData = static_cast<char*>(malloc(n + 1));
        if (m_pData == nullptr) {
            return ST_E_OUTOFMEMORY;
        }
        m_nCapacity = n + 1;
    }
    m_nLength = n;
    m_pData[n] = '\0';
    return 1;
}

void CStrBuf::SetLength(std::uint32_t n) {
    if (m_pData != nullptr && n < m_nCapacity) {
        m_nLength = n;
        m_pData[n] = '\0';
    }
}

void CStrBuf::AssignBytes(const char* bytes, std::uint32_t n) {
    // A held block that is large enough is reused, as Allocate would. Bytes from this buffer's own
    // text always fit it, and moving them before the terminator is written keeps a suffix intact.
    if (m_pData != nullptr && n < m_nCapacity) {
        memmove(m_pData, bytes, n);
        SetLength(n);
    } else if (Allocate(n) > 0) {
        memcpy(m_pData, bytes, n);
    }
}

CStrBuf& CStrBuf::Assign(const char* text) {
    if (text == nullptr) {
        Clear();
    } else {
        AssignBytes(text, static_cast<std::uint32_t>(strlen(text)));
    }
    return *this;
}

CStrBuf& CStrBuf::Assign(const CStrBuf& other) {
    if (&other != this) {
        AssignBytes(other.CStr(), other.m_nLength);
    }
    return *this;
}

void CStrBuf::AppendBytes(const char* bytes, std::uint32_t n) {
    const std::uint32_t newLength = m_nLength + n;
    if (newLength < m_nCapacity) {
        // The terminator is written separately: when bytes end at our own terminator, copying it
        // along would overlap the destination.
        memcpy(m_pData + m_nLength, bytes, n);
        SetLength(newLength);
        return;
    }
    char* block = static_cast<char*>(malloc(newLength + 1));
    if (block == nullptr) {
        return;
    }
    // Both copies happen before the old block is freed because bytes may point into it.
    memcpy(block, CStr(), m_nLength);
    memcpy(block + m_nLength, bytes, n);
    block[newLength] = '\0';
    free(m_pData);
    m_pData = block;
    m_nLength = newLength;
    m_nCapacity = newLength + 1;
}

CStrBuf& CStrBuf::Append(const char* text) {
    AppendBytes(text, static_cast<std::uint32_t>(strlen(text)));
    return *this;
}

CStrBuf& CStrBuf::Append(const CStrBuf& other) {
    if (other.m_nLength > 0 && other.m_pData != nullptr) {
        AppendBytes(other.m_pData, other.m_nLength);
    }
    return *this;
}

StatusWord CStrBuf::Equals(const char* text) const {
    if (text == nullptr) {
        return IsEmpty() ? 1 : 0;
    }
    return EqualsBytes(text, static_cast<std::uint32_t>(strlen(text)));
}

StatusWord CStrBuf::EqualsBytes(const void* bytes, std::uint32_t n) const {
    return Compare(bytes, n) == 0 ? ST_OK : 0;
}

int CStrBuf::Compare(const void* bytes, std::uint32_t n) const {
    if (m_nLength != n) {
        return m_nLength < n ? -1 : 1;
    }
    return n == 0 ? 0 : memcmp(m_pData, bytes, n);
}

int CStrBuf::Find(const char* needle, int start) const {
    const std::uint32_t from = start < 0 ? 0 : static_cast<std::uint32_t>(start);
    if (needle == nullptr || m_pData == nullptr || from >= m_nLength) {
        return -1;
    }
    const char* found = strstr(m_pData + from, needle);
    return found == nullptr ? -1 : static_cast<int>(found - m_pData);
}

int CStrBuf::ReverseFind(char c) const {
    if (IsEmpty()) {
        return -1;
    }
    const char* found = strrchr(m_pData, c);
    return found == nullptr ? -1 : static_cast<int>(found - m_pData);
}

void CStrBuf::Right(CStrBuf& out, std::uint32_t n) const {
    const std::uint32_t count = std::min(n, m_nLength);
    out.AssignBytes(CStr() + (m_nLength - count), count);
}

StatusWord CStrBuf::FromInteger(std::int32_t value, int radix, std::uint32_t width) {
    const StatusWord status = Allocate(kMaxIntegerDigits);
    if (status <= 0) {
        return ST_E_OUTOFMEMORY;
    }
    _ltoa(value, m_pData, radix);
    const std::uint32_t digits = static_cast<std::uint32_t>(strlen(m_pData));
    // The block is only guaranteed to hold kMaxIntegerDigits characters.
    width = std::min(width, kMaxIntegerDigits);
    if (digits >= width) {
        SetLength(digits);
    } else {
        const std::uint32_t pad = width - digits;
        memmove(m_pData + pad, m_pData, digits);
        memset(m_pData, '0', pad);
        SetLength(width);
    }
    return status;
}

StatusWord CStrBuf::SetModuleDirectory(HMODULE module) {
    char name[kModuleNameSize];
    const DWORD nameLength = GetModuleFileNameA(module, name, kModuleNameSize);
    if (nameLength == 0) {
        return StatusFromLastError();
    }
    // A truncated name need not be terminated, so the search stays within the returned length.
    std::uint32_t keep = nameLength;
    for (DWORD i = nameLength; i > 0; --i) {
        if (name[i - 1] == '\\') {
            keep = i;
            break;
        }
    }
    if (Allocate(keep) <= 0) {
        return ST_E_OUTOFMEMORY;
    }
    memcpy(m_pData, name, keep);
    return 1;
}

const char* CStrBuf::CStr() const { return m_nLength > 0 ? m_pData : kEmptyText; }

void CStrBuf::ToLower() {
    if (m_nLength > 0 && m_pData != nullptr) {
        _strlwr(m_pData);
    }
}

std::uint32_t CStrBuf::ReplaceAll(const char* find, const char* repl) {
    // An empty find text would match everywhere without advancing; no caller wants that, so it
    // replaces nothing.
    if (IsEmpty() || m_pData == nullptr || find == nullptr || *find == '\0') {
        return 0;
    }
    const std::uint32_t findLength = static_cast<std::uint32_t>(strlen(find));
    const std::uint32_t replLength = static_cast<std::uint32_t>(strlen(repl));

    std::uint32_t count = 0;
    for (const char* p = strstr(m_pData, find); p != nullptr; p = strstr(p + findLength, find)) {
        ++count;
    }
    if (count == 0) {
        return 0;
    }
    const std::uint32_t newLength = m_nLength - findLength * count + replLength * count;
    if (newLength == 0) {
        SetLength(0);
        return count;
    }

    // When the new text cannot be built the old one is left whole and nothing is reported as
    // replaced, so the count always matches the text.
    char* block = static_cast<char*>(malloc(newLength + 1));
    if (block == nullptr) {
        return 0;
    }
    char* out = block;
    const char* rest = m_pData;
    for (const char* p = strstr(rest, find); p != nullptr; p = strstr(rest, find)) {
        memcpy(out, rest, p - rest);
        out += p - rest;
        memcpy(out, repl, replLength);
        out += replLength;
        rest = p + findLength;
    }
    strcpy(out, rest);

    if (newLength < m_nCapacity) {
        memcpy(m_pData, block, newLength + 1);
        free(block);
    } else {
        free(m_pData);
        m_pData = block;
        m_nCapacity = newLength + 1;
    }
    m_nLength = newLength;
    return count;
}

std::uint32_t CStrBuf::Length() const { return m_nLength; }

std::uint32_t CStrBuf::Capacity() const { return m_nCapacity; }

bool CStrBuf::IsEmpty() const { return m_nLength == 0; }

StatusWord CStrBuf::Adopt(char* block, std::uint32_t n, std::uint32_t flags) {
    Clear();
    if ((flags & ADOPT_KEEP_BLOCK) == 0) {
        char* resized = static_cast<char*>(realloc(block, n + 1));
        if (resized == nullptr) {
            // The block became ours on entry, so it is released rather than leaked.
            free(block);
            return ST_E_OUTOFMEMORY;
        }
        block = resized;
        block[n] = '\0';
    }
    m_pData = block;
    m_nLength = n;
    m_nCapacity = n + 1;
    return ST_OK;
}
