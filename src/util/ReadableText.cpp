#include "util/ReadableText.h"

#include <windows.h>

#include <cstring>

namespace {

// Protections under which every byte of a page can be read.
bool IsReadableProtection(DWORD dwProtect) {
    if ((dwProtect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) return false;
    const DWORD dwReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                             PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return (dwProtect & dwReadable) != 0;
}

}  // namespace

bool IsReadableText(const char* pszText) {
    if (pszText == nullptr) return true;
    const char* p = pszText;
    for (;;) {
        MEMORY_BASIC_INFORMATION mbi;
        if (VirtualQuery(p, &mbi, sizeof(mbi)) != sizeof(mbi)) return false;
        if (mbi.State != MEM_COMMIT || !IsReadableProtection(mbi.Protect)) return false;
        const char* pEnd = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
        if (pEnd <= p) return false;
        if (memchr(p, 0, static_cast<size_t>(pEnd - p)) != nullptr) return true;
        p = pEnd;
    }
}
