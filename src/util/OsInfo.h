// The system description: which Windows generation the library runs on, as the platform's
// version numbers and a small operating-system code.
#pragma once

#include <windows.h>

class COsInfo {
  public:
    // Operating-system codes; 0 stands for every system without a row of its own.
    static constexpr DWORD OS_NONE = 0;     // no code, for example Windows Server 2003 or 10
    static constexpr DWORD OS_WIN95 = 1;    // Windows 95
    static constexpr DWORD OS_WIN98 = 2;    // Windows 98
    static constexpr DWORD OS_WIN98SE = 3;  // Windows 98 Second Edition
    static constexpr DWORD OS_WINME = 4;    // Windows Me
    static constexpr DWORD OS_NT4 = 5;      // Windows NT up to 4.0
    static constexpr DWORD OS_WIN2000 = 6;  // Windows 2000
    static constexpr DWORD OS_WINXP = 7;    // Windows XP
    static constexpr DWORD OS_VISTA = 8;    // Windows Vista
    static constexpr DWORD OS_WIN7 = 9;     // Windows 7
    static constexpr DWORD OS_WIN8 = 10;    // Windows 8
    static constexpr DWORD OS_WIN81 = 11;   // Windows 8.1

    // Everything zero until the first GetOsInfo.
    COsInfo();

    // Fills the description from the platform and returns this object. When the platform
    // answers neither version query, the description keeps its previous values.
    COsInfo* GetOsInfo();
    // The operating-system code of a version record.
    static DWORD OsCodeOf(const OSVERSIONINFOA& version);

    DWORD m_nMajor;              // the platform's major version number
    DWORD m_nMinor;              // the platform's minor version number
    DWORD m_nOsCode;             // operating-system code, 0 when none applies
    OSVERSIONINFOEXA m_version;  // the platform's last answer to the version query
};

extern COsInfo g_osInfo;
