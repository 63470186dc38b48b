// Tells whether a process of a given executable file name runs, and its id, on every Windows
// generation the library serves. Windows NT up to 4.0 lists processes with the process-status
// library, every other system with a tool-help snapshot. Both sets of functions are looked up at
// run time, so the library loads on systems that lack one of them. A finder is a short-lived
// local object, used by one thread: callers construct one for each check.
#pragma once

#include <windows.h>

// Needs the types of windows.h.
#include <tlhelp32.h>

#include "framework/KernelHandle.h"
#include "framework/ModuleHandle.h"

class CProcessFind {
  public:
    // Chooses the mode from the system description, loads that mode's functions and, in
    // tool-help mode, takes the snapshot of all processes that every Find searches.
    CProcessFind();
    // As above with the mode given: the process-status listing is then usable on any system.
    explicit CProcessFind(bool bUsePsapi);
    // Closes the snapshot, then releases the libraries this finder loaded.
    ~CProcessFind() = default;
    CProcessFind(const CProcessFind&) = delete;
    CProcessFind& operator=(const CProcessFind&) = delete;

    // 1 when a process whose executable file is named pszName (no folder) was found, its id
    // then written to nProcessId; 0 otherwise.
    int Find(DWORD& nProcessId, const char* pszName);
    // True when both texts name the same file: each in its short form where the platform
    // gives one, compared without regard to case.
    static bool SameFileName(const char* pszFirst, const char* pszSecond);

  private:
    using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);        // CreateToolhelp32Snapshot
    using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);  // Process32First and Next
    using EnumModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);    // EnumProcessModules
    using ModuleFileNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, char*, DWORD);  // GetModuleFileNameExA
    using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);            // EnumProcesses

    // Loads the mode's functions; in tool-help mode with non-zero flags, takes a new snapshot.
    // 1 when the functions (and the snapshot) are there, else 0.
    int Refresh(DWORD nFlags, DWORD nProcessId);
    // The first process of the snapshot with a non-zero id; 0 at the end or in psapi mode.
    int First(PROCESSENTRY32& entry);
    // The next process of the snapshot with a non-zero id; 0 at the end or in psapi mode.
    int Next(PROCESSENTRY32& entry);
    // Find over the tool-help snapshot.
    int FindInSnapshot(DWORD& nProcessId, const char* pszName);
    // Find over the process-status listing.
    int FindWithPsapi(DWORD& nProcessId, const char* pszName);
    // Loads a library of the system folder by its file name, never from anywhere else.
    static HMODULE LoadSystemLibrary(const char* pszFileName);

    bool m_bUsePsapi;                      // list processes with psapi.dll (Windows NT up to 4.0)
    CModuleHandle m_hPsapi;                // psapi.dll, loaded on first need; null if not loaded
    CModuleHandle m_hKernel;               // kernel32.dll, an extra reference; null if not loaded
    CKernelHandle m_hSnapshot;             // the snapshot; null when none is open
    CreateSnapshotFn m_pfnCreateSnapshot;  // CreateToolhelp32Snapshot
    ProcessWalkFn m_pfnProcessFirst;       // Process32First
    ProcessWalkFn m_pfnProcessNext;        // Process32Next
    EnumModulesFn m_pfnEnumModules;        // EnumProcessModules
    ModuleFileNameFn m_pfnModuleFileName;  // GetModuleFileNameExA
    EnumProcessesFn m_pfnEnumProcesses;    // EnumProcesses
};
