// An event object of the kernel, as the thread classes use it to hand over
// "started" and "finished" between the owner and its thread.
#pragma once

#include <windows.h>

class CThreadEvent {
  public:
    // Result of a call that did its work.
    static constexpr DWORD RESULT_OK = 0;
    // Result of a failed platform call, a time-out or an abandoned wait.
    static constexpr DWORD RESULT_FAIL = 0x10090000;
    // Result when there is nothing to work on, such as an event without handle.
    static constexpr DWORD RESULT_NO_OBJECT = 0x10100000;
    // The constructor's modes: a wait takes the signal away, or the signal stays until Reset.
    static constexpr int MODE_AUTO_RESET = 1;
    static constexpr int MODE_MANUAL_RESET = 0;

    // Creates the event, not signalled: automatic reset in MODE_AUTO_RESET, manual reset in any
    // other mode. A null name makes it unnamed. A failed creation leaves no handle.
    CThreadEvent(const char* pszName, int nMode);
    // A second handle to the same event, owned by the copy, so that a thread can keep using
    // the event after the object it came from is gone. No handle when the source has none or
    // the duplication failed.
    CThreadEvent(const CThreadEvent& source);
    CThreadEvent& operator=(const CThreadEvent&) = delete;
    // Closes the handle.
    virtual ~CThreadEvent();

    // Signals the event.
    DWORD Set();
    // Waits until the event is signalled; INFINITE waits without limit.
    DWORD Wait(DWORD nMilliseconds);
    // Makes the event not signalled; false when there is no handle or the call failed.
    bool Reset();

    HANDLE m_hEvent;  // the event, null when creation failed
};
