// The library's one lock idiom: a critical section owned by an object, taken for a
// scope by CScopedLock. Critical sections are recursive, so a thread that holds one
// may take it again further down its stack.
#pragma once

#include <windows.h>

class CCriticalSection {
  public:
    CCriticalSection() { InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    // Waits for the section and enters it (once more, when this thread holds it).
    void Lock() { EnterCriticalSection(&m_cs); }
    // Leaves one level.
    void Unlock() { LeaveCriticalSection(&m_cs); }

  private:
    CRITICAL_SECTION m_cs;  // the system's section
};

// Holds a critical section from construction to the end of the scope, on every way out.
class CScopedLock {
  public:
    explicit CScopedLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CScopedLock() { m_cs.Unlock(); }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

  private:
    CCriticalSection& m_cs;  // the section held
};
