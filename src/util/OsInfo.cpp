#include "util/OsInfo.h"

#include "core/InitOrder.h"

COsInfo g_osInfo VEL_SERVICE_INIT;

COsInfo::COsInfo() : m_nMajor(0), m_nMinor(0), m_nOsCode(OS_NONE), m_version{} {}

COsInfo* COsInfo::GetOsInfo() {
    m_version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    LPOSVERSIONINFOA pVersion = reinterpret_cast<LPOSVERSIONINFOA>(&m_version);
    if (!GetVersionExA(pVersion)) {
        m_version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        GetVersionExA(pVersion);
    }
    m_nMajor = m_version.dwMajorVersion;
    m_nMinor = m_version.dwMinorVersion;
    m_nOsCode = OsCodeOf(*pVersion);
    return this;
}

DWORD COsInfo::OsCodeOf(const OSVERSIONINFOA& version) {
    const DWORD nMajor = version.dwMajorVersion;
    const DWORD nMinor = version.dwMinorVersion;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (nMajor != 4) return OS_NONE;
        switch (nMinor) {
            case 0:
                return OS_WIN95;
            case 10:
                // The second edition of Windows 98 reports " A" as its service pack.
                return version.szCSDVersion[1] == 'A' ? OS_WIN98SE : OS_WIN98;
            case 90:
                return OS_WINME;
            default:
                return OS_NONE;
        }
    }
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return OS_NONE;
    if (nMajor <= 4) return OS_NT4;
    if (nMajor == 5) {
        switch (nMinor) {
            case 0:
                return OS_WIN2000;
            case 1:
                return OS_WINXP;
            default:
                return OS_NONE;  // Windows Server 2003 (5.2) has no code of its own
        }
    }
    if (nMajor == 6 && nMinor <= 3) return OS_VISTA + nMinor;
    return OS_NONE;
}
