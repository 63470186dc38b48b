// The one owner of the library's tray state: the reader registry with a chip
// icon per reader, the SEM icon, the hidden window that owns the popup menus,
// the menu opened last, and what the host passed in. The exports reach
// everything through it.
//
// Threads: the state is shared by every thread that calls an export, so it is read
// and changed under the manager's lock, held only for short work (a shell call at
// most) and never across a menu's modal loop, a pause or a wait for another thread.
// Objects with windows are made and destroyed on the home thread (CHomeThread). A stop
// takes every object out of the state at once and deletes the icons from the
// notification area; the objects themselves are destroyed by ReapIfDue when no frame of
// the library is on the home thread's stack any more.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/CriticalSection.h"
#include "framework/IconHandle.h"
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

    // The lock of the tray state.
    CCriticalSection& GetLock() { return m_lock; }

    // Makes the calling thread the home of the library's windows (bClaim, at a start) or
    // only when there is no living home; windows of an old home are made anew here.
    // Called under the lock.
    void EnsureHome(bool bClaim);
    // Takes the SEM icon's four pictures from the design provider, as copies of the
    // library's own; raises CvelException when one of them is missing.
    void LoadDesignResources();
    // The hidden window that owns the popup menus, made on first call on the home thread;
    // null on other threads until the home thread has made it.
    CMenuOwnerWnd* GetNotifyWnd();
    // The SEM icon, created on first call together with the menu owner.
    CSEMIcon* GetSemIcon();
    // The chip icon of a reader (name compared byte for byte), created with the
    // command base when the reader is new. The name must not be null.
    CChipIcon* GetChipIcon(const char* pszReader, DWORD nCmdBase);
    // Makes pMenu the current popup menu; the one kept from last time is destroyed. On the
    // home thread, while no menu is being tracked.
    CBmpMenu* SetCurrentMenu(std::unique_ptr<CBmpMenu> pMenu);
    // Ends the loops of the menu being tracked on the home thread, if any; true when one was.
    bool CloseOpenMenu();
    // Destroys the popup menu kept from last time.
    void CloseMenu();
    // Takes every icon and window out of the tray: the icons leave the notification area
    // at once, the menu's loops end, the rotation stops; the objects are destroyed as soon
    // as no frame of the library is on the home thread's stack. bForGood: velStopTray,
    // after which the home thread's request window goes too. Never raises.
    void Stop(bool bForGood = false);
    // Destroys what stops left behind when nothing of the library runs on the home thread
    // (or the home thread has ended); on other threads it does nothing.
    void ReapIfDue();
    // Asks the home thread to destroy what stops left behind.
    void WakeReaper();
    // Waits at most nTimeoutMs until what stops left behind is destroyed; true when it is.
    bool WaitUntilReaped(DWORD nTimeoutMs);

    // True when the suite's SEM program that the SEM flag names runs: velSEMm.exe for 1,
    // velSEMx.exe for 0.
    bool IsSemProgramRunning() const;

    // Number of readers in the registry.
    size_t GetReaderCount() const { return m_readers.size(); }

    // One reader of the registry.
    struct CReaderEntry {
        CStrBuf m_strReader;                 // the reader name, copied at creation
        std::unique_ptr<CChipIcon> m_pChip;  // the reader's chip icon
    };

    std::unique_ptr<CMenuOwnerWnd> m_pNotifyWnd;  // owns every popup menu; made on first need
    std::unique_ptr<CSEMIcon> m_pSemIcon;         // the suite's icon; made on first need
    CWnd* m_pMenuOwner;  // wrapper of the notification window; handed to the icons
    std::unique_ptr<CBmpMenu> m_pCurMenu;  // the popup menu open or opened last
    COLORREF m_crMenu1;                    // first banner colour (0xFFFFFFFF: the system's)
    COLORREF m_crMenu2;                    // second banner colour (0xFFFFFFFF: the system's)
    HICON m_hSemIcon[4];                   // design pictures 110 to 113: the copies below
    std::vector<std::unique_ptr<CReaderEntry>> m_readers;  // the registry, in order of creation
    BYTE m_bConstructed;                                   // 1 once the constructor has run
    HWND m_hHostWnd;  // the host's window; commands are posted to it
    BYTE m_bSEMm;     // the SEM flag: which SEM program the menus look for
    int m_nTracking;  // icon menus whose loop runs on the home thread's stack (0 or 1)

  private:
    // What one stop took out of the tray, destroyed together on the home thread.
    // Destroyed in reverse order: the menu first, the window that owns it last.
    struct CRetired {
        std::unique_ptr<CMenuOwnerWnd> m_pNotifyWnd;           // the menus' owner window
        std::unique_ptr<CSEMIcon> m_pSemIcon;                  // the SEM icon
        std::vector<std::unique_ptr<CReaderEntry>> m_readers;  // the readers and chip icons
        std::unique_ptr<CBmpMenu> m_pMenu;                     // the menu kept or open
        bool m_bForGood = false;  // the home's request window goes with them
    };

    // Makes the windows of the objects anew on the calling thread, the new home.
    void Rehome();
    // Ends the tray's presence for the objects of one stop: out of the notification area,
    // no more rotation, no open menu.
    static void Withdraw(CRetired& retired);

    // The design pictures the manager owns: copies, so that they outlive a design
    // component that a later start unloads. The rotation takes copies of its own.
    CIconHandle m_semIconCopies[4];
    mutable CCriticalSection m_lock;                   // guards the tray state
    std::vector<std::unique_ptr<CRetired>> m_retired;  // stopped, not yet destroyed
};
