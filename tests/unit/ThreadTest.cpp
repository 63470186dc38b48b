// The thread primitives: the event wrapper, the worker thread's start and stop in each mode
// (including a thread left running past its object) and the member thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "core/MemberThread.h"
#include "core/ThreadEvent.h"
#include "core/WorkerThread.h"
#include "framework/KernelHandle.h"

namespace {

constexpr DWORD kFail = CThreadEvent::RESULT_FAIL;
constexpr DWORD kNoObject = CThreadEvent::RESULT_NO_OBJECT;
// Generous bound for waits that should end at once; only a fault makes them time out.
constexpr DWORD kPatience = 10000;

// A worker whose Run either returns at once or polls the stop byte. After it has seen the stop it
// signals m_hSawStop and then waits for m_hHold, touching nothing of the object any more.
class CTestThread : public CWorkerThread {
  public:
    CTestThread(HANDLE hSawStop = nullptr, HANDLE hHold = nullptr)
        : m_hSawStop(hSawStop), m_hHold(hHold) {}

    DWORD Abandon() override { return Stop(StopMode::kNoWait); }

    DWORD Run() override {
        const DWORD nRun = ++m_nRuns;
        if (!m_bUntilStopped) return 100 + nRun;
        while (!m_bStopRequested) Sleep(1);
        const HANDLE hHold = m_hHold;
        if (m_hSawStop != nullptr) SetEvent(m_hSawStop);
        if (hHold != nullptr) WaitForSingleObject(hHold, INFINITE);
        return 200 + nRun;
    }

    std::atomic<bool> m_bUntilStopped{true};  // Run waits for the stop request
    std::atomic<DWORD> m_nRuns{0};            // runs so far
    HANDLE m_hSawStop;                        // signalled once Run saw the stop
    HANDLE m_hHold;                           // what Run waits for after that
};

// Waits until the thread has marked the object idle by itself.
bool WaitUntilIdle(const CWorkerThread& thread) {
    for (DWORD i = 0; i < kPatience && thread.m_nState != CWorkerThread::ThreadState::kIdle; ++i)
        Sleep(1);
    return thread.m_nState == CWorkerThread::ThreadState::kIdle;
}

// Owner of a member thread whose operation runs until the thread is asked to stop.
class COwner {
  public:
    COwner() : m_thread(this, &COwner::Rotate) {}

    DWORD Rotate() {
        while (!m_thread.m_bStopRequested) {
            ++m_nSteps;
            Sleep(1);
        }
        return 0x1234;
    }

    std::atomic<DWORD> m_nSteps{0};  // rounds of the operation
    CMemberThread<COwner> m_thread;  // the thread that runs it
};

}  // namespace

TEST(ThreadEvent, SignalsWaitsAndSharesTheEvent) {
    CThreadEvent automatic(nullptr, 1), manual(nullptr, 0);
    EXPECT_EQ(std::vector<DWORD>({automatic.Wait(0), automatic.Set(), automatic.Wait(INFINITE),
                                  automatic.Wait(0), manual.Set(), manual.Wait(0), manual.Wait(0)}),
              std::vector<DWORD>({kFail, 0, 0, kFail, 0, 0, 0}));
    // A mutex holds the name, so no event of that name can be made.
    const CKernelHandle mutex(CreateMutexA(nullptr, FALSE, "velThreadTestTakenName"));
    CThreadEvent none("velThreadTestTakenName", 1);
    EXPECT_EQ(none.m_hEvent, nullptr);
    EXPECT_EQ(std::make_pair(none.Set(), none.Wait(0)), std::make_pair(kNoObject, kFail));
}

TEST(WorkerThread, StopsAndStartsAgainWhateverTheLastRunDid) {
    CTestThread thread;
    EXPECT_EQ(thread.Stop(CWorkerThread::StopMode::kWait), kFail);  // never started
    EXPECT_EQ(thread.m_bStopRequested + thread.m_nRuns, 0u);
    // Runs in turn: whether Run waits for the stop, whether the test stops it, its exit code. A
    // run that ended by itself and was not stopped leaves its end behind: the next run's Stop must
    // still wait for that next run. Stopping a run that ended by itself asks for no stop.
    const struct {
        bool bUntilStopped, bStop;
        DWORD nExitCode;
    } runs[] = {{true, true, 201},
                {true, true, 202},
                {false, false, 103},
                {true, true, 204},
                {false, true, 105}};
    for (const auto& run : runs) {
        thread.m_bUntilStopped = run.bUntilStopped;
        ASSERT_EQ(thread.Start(), 0u);
        EXPECT_EQ(thread.m_bStopRequested, 0);
        ASSERT_TRUE(run.bUntilStopped ? thread.m_nState == CWorkerThread::ThreadState::kRunning
                                      : WaitUntilIdle(thread));
        EXPECT_TRUE(!run.bStop || thread.Stop(CWorkerThread::StopMode::kWait) == 0u);
        EXPECT_EQ(thread.m_nExitCode, run.nExitCode);
        EXPECT_EQ(thread.m_bStopRequested, run.bUntilStopped ? 1 : 0);
        EXPECT_EQ(thread.m_nState, CWorkerThread::ThreadState::kIdle);
        EXPECT_TRUE(!run.bStop || thread.GetThreadHandle() == nullptr);
    }
}

// A timed stop and an abandon return while the thread still runs, the object idle at once. The
// thread's end reaches an object that is still there, and never one that was destroyed.
TEST(WorkerThread, AStopThatDoesNotWaitLeavesTheThreadRunningPastItsObject) {
    for (const bool bAbandon : {false, true}) {
        SCOPED_TRACE(bAbandon ? "abandoned, then destroyed" : "stopped within 50 ms");
        const CKernelHandle sawStop(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        const CKernelHandle hold(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        alignas(CTestThread) unsigned char storage[sizeof(CTestThread)];
        CTestThread* pThread = new (storage) CTestThread(sawStop.Get(), hold.Get());
        ASSERT_EQ(pThread->Start(), 0u);
        const CKernelHandle thread(
            OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, pThread->m_nThreadId));
        ASSERT_EQ(bAbandon ? pThread->Abandon() : pThread->StopWithin(50), 0u);
        EXPECT_EQ(pThread->m_nState, CWorkerThread::ThreadState::kIdle);
        EXPECT_EQ(pThread->GetThreadHandle(), nullptr);
        ASSERT_EQ(WaitForSingleObject(sawStop.Get(), kPatience), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(thread.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        if (bAbandon) pThread->~CTestThread();
        if (bAbandon) std::memset(storage, 0xA5, sizeof(storage));
        SetEvent(hold.Get());
        ASSERT_EQ(WaitForSingleObject(thread.Get(), kPatience), WAIT_OBJECT_0);
        DWORD nThreadExit = 0;
        EXPECT_TRUE(GetExitCodeThread(thread.Get(), &nThreadExit) && nThreadExit == 201u);
        if (bAbandon) {
            for (unsigned char byte : storage) ASSERT_EQ(byte, 0xA5);
        } else {
            EXPECT_EQ(pThread->m_nExitCode, 201u);
            pThread->~CTestThread();
        }
    }
}

TEST(MemberThread, RunsTheOwnersOperation) {
    COwner owner;
    ASSERT_EQ(owner.m_thread.Start(), 0u);
    for (DWORD i = 0; i < kPatience && owner.m_nSteps == 0; ++i) Sleep(1);
    EXPECT_GT(owner.m_nSteps, 0u);
    EXPECT_EQ(owner.m_thread.Stop(CWorkerThread::StopMode::kWait), 0u);
    EXPECT_EQ(owner.m_thread.m_nExitCode, 0x1234u);

    CMemberThread<COwner> orphan(nullptr, &COwner::Rotate);
    ASSERT_EQ(orphan.Start(), 0u);
    ASSERT_TRUE(WaitUntilIdle(orphan));
    EXPECT_EQ(orphan.Stop(CWorkerThread::StopMode::kWait), 0u);
    EXPECT_EQ(orphan.m_nExitCode, kNoObject);
}
