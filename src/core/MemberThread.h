// Runs one operation of an owner object on a worker thread, for example the rotation of an
// icon. A template over the owner's class, so that the owner hands over its own member
// operation as it is, without a common base class. The owner must outlive every Run: it stops
// the thread with StopMode::kWait before it goes.
#pragma once

#include <windows.h>

#include "core/WorkerThread.h"

template <class TOwner>
class CMemberThread : public CWorkerThread {
  public:
    // A member operation of the owner that takes nothing and returns a 32-bit code.
    using RunFn = DWORD (TOwner::*)();

    // Neither the owner nor the operation is called before Start.
    CMemberThread(TOwner* pOwner, RunFn pfnRun) : m_pOwner(pOwner), m_pfnRun(pfnRun) {}

    // Gives the thread up without waiting for it.
    DWORD Abandon() override { return Stop(StopMode::kNoWait); }

    // The owner's operation and its result; 0x10100000 without an owner. A missing operation
    // counts as a missing owner rather than a call through null.
    DWORD Run() override {
        if (m_pOwner == nullptr || m_pfnRun == nullptr) return CThreadEvent::RESULT_NO_OBJECT;
        return (m_pOwner->*m_pfnRun)();
    }

    TOwner* m_pOwner;  // the object whose operation runs, not owned; may be null
    RunFn m_pfnRun;    // the operation run on the thread
};
