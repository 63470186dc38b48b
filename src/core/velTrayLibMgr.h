// The one owner of the library's tray state: the reader registry with a chip
// icon per reader, the SEM icon, the hidden window that owns the popup menus,
// the menu opened last, and what the host passed in. The exports reach
// everything through it.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "text/StrBuf.h"

class CBmpMenu;
class CChipIcon;
class CMenuOwnerWnd;
class CSEMIcon;
class CWnd;

class CvelTrayLibMgr {
  public:
    CvelTrayLibMgr();
    // Stops everything and frees the registry.
    ~CvelTrayLibMgr();
    CvelTrayLibMgr(const CvelTrayLibMgr&) = delete;
    CvelTrayLibMgr& operator=(const CvelTrayLibMgr&) = delete;

    // The single manager; raises CvelException before static construction has run.
    static CvelTrayLibMgr& Instance();

    // Takes the SEM icon's four pictures from the design provider; raises
    // CvelException when one of them is missing.
    void LoadDesignResources();
    // The hidden window that owns the popup menus, created on first call.
    CMenuOwnerWnd* GetNotifyWnd();
    // The SEM icon, created on first call together with the menu owner.
    CSEMIcon* GetSemIcon();
    // The chip icon of a reader (name compared byte for byte), created with the
    // command base when the reader is new. The name must not be null.
    CChipIcon* GetChipIcon(const char* pszReader, DWORD nCmdBase);
    // Destroys the popup menu kept from last time.
    void CloseMenu();
    // Destroys every icon and the hidden window; never raises.
    void Stop();

    // Number of readers in the registry.
    size_t GetReaderCount() const { return m_readers.size(); }

    // One reader of the registry.
    struct CReaderEntry {
        CStrBuf m_strReader;                 // the reader name, copied at creation
        std::unique_ptr<CChipIcon> m_pChip;  // the reader's chip icon
    };

    CMenuOwnerWnd* m_pNotifyWnd;  // owns every popup menu; owned, created on first need
    CSEMIcon* m_pSemIcon;         // the suite's icon; owned, created on first need
    CWnd* m_pMenuOwner;           // wrapper of the notification window; handed to the icons
    CBmpMenu* m_pCurMenu;         // the popup menu open or opened last; owned
    COLORREF m_crMenu1;           // first banner colour (0xFFFFFFFF: the system's)
    COLORREF m_crMenu2;           // second banner colour (0xFFFFFFFF: the system's)
    HICON m_hSemIcon[4];          // design pictures 110 to 113; not owned
    std::vector<std::unique_ptr<CReaderEntry>> m_readers;  // the registry, in order of creation
    BYTE m_bConstructed;                                   // 1 once the constructor has run
    HWND m_hHostWnd;  // the host's window; commands are posted to it
    BYTE m_bSEMm;     // the SEM flag: which SEM program the menus look for
};
