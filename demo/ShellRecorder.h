// Records the library's calls of Shell_NotifyIconA without changing the library:
// the import of a module (the loaded DLL, or a program the library is linked
// into) is bent to a recorder for the life of this object. The demo host uses it
// to show what the library tells the shell; the tests to check it.
#pragma once

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <string>
#include <vector>

#include "ImportPatch.h"

struct ShellCall {
    DWORD dwMessage;        // NIM_ADD, NIM_MODIFY or NIM_DELETE
    DWORD cbSize;           // size field of the record
    HWND hWnd;              // the icon's window
    UINT uID;               // the icon's id
    UINT uFlags;            // which items the call carries
    UINT uCallbackMessage;  // the callback message
    HICON hIcon;            // the picture
    std::string tip;        // the tooltip as the shell receives it
    bool bRestIsZero;       // every byte after the tooltip up to the size is zero
    LONGLONG nTime;         // when the call was made (QueryPerformanceCounter)
};

class ShellRecorder {
  public:
    // Bends the module's import of Shell_NotifyIconA; the calls are answered with
    // the given result, or passed on to the real shell when bPassOn is set.
    explicit ShellRecorder(HMODULE hModule, bool bPassOn = false);
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    // True when the import was found and bent.
    bool IsActive() const { return m_patch.IsActive(); }
    // The calls so far, in order; Take also forgets them.
    std::vector<ShellCall> Calls() const;
    std::vector<ShellCall> Take();
    // What the next calls answer when they are not passed on (TRUE at first).
    void SetResult(BOOL bResult);

  private:
    CImportPatch m_patch;  // the bent import of Shell_NotifyIconA
};
