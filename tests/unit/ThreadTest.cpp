// The thread primitives: the event wrapper, the worker thread's start and stop in each mode
// (including a thread left running past its object) and the member thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <new>

#include "core/MemberThread.h"
#include "core/ThreadEvent.h"
#include "core/WorkerThread.h"

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
    CThreadEvent automatic(nullptr, 1);
    EXPECT_EQ(automatic.Wait(0), kFail);
    EXPECT_EQ(automatic.Set(), 0u);
    EXPECT_EQ(automatic.Wait(INFINITE), 0u);
    EXPECT_EQ(automatic.Wait(0), kFail);

    CThreadEvent manual(nullptr, 0);
    EXPECT_EQ(manual.Set(), 0u);
    EXPECT_EQ(manual.Wait(0), 0u);
    EXPECT_EQ(manual.Wait(0), 0u);

    // A mutex holds the name, so no event of that name can be made.
    const HANDLE hMutex = CreateMutexA(nullptr, FALSE, "velThreadTestTakenName");
    ASSERT_NE(hMutex, nullptr);
    CThreadEvent none("velThreadTestTakenName", 1);
    EXPECT_EQ(none.m_hEvent, nullptr);
    EXPECT_EQ(none.Set(), kNoObject);
    EXPECT_EQ(none.Wait(0), kFail);
    CloseHandle(hMutex);
}

TEST(WorkerThread, StopsARunningThreadInEachMode) {
    CTestThread waited;
    ASSERT_EQ(waited.Start(), 0u);
    EXPECT_EQ(waited.Stop(CWorkerThread::StopMode::kWait), 0u);
    EXPECT_EQ(waited.m_nExitCode, 201u);
    EXPECT_EQ(waited.m_nState, CWorkerThread::ThreadState::kIdle);
    EXPECT_EQ(waited.GetThreadHandle(), nullptr);

    // A timed stop returns while the thread still waits for the hold.
    const HANDLE hSawStop = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const HANDLE hHold = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CTestThread left(hSawStop, hHold);
    ASSERT_EQ(left.Start(), 0u);
    const HANDLE hThread = OpenThread(SYNCHRONIZE, FALSE, left.m_nThreadId);
    ASSERT_NE(hThread, nullptr);
    EXPECT_EQ(left.StopWithin(50), 0u);
    EXPECT_EQ(left.m_nState, CWorkerThread::ThreadState::kIdle);
    EXPECT_EQ(left.GetThreadHandle(), nullptr);
    ASSERT_EQ(WaitForSingleObject(hSawStop, kPatience), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(hThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(hHold);
    ASSERT_EQ(WaitForSingleObject(hThread, kPatience), WAIT_OBJECT_0);
    EXPECT_EQ(left.m_nExitCode, 201u);
    CloseHandle(hThread);
    CloseHandle(hSawStop);
    CloseHandle(hHold);
}

TEST(WorkerThread, StopsAndStartsAgainWhateverTheLastRunDid) {
    CTestThread thread;
    EXPECT_EQ(thread.Stop(CWorkerThread::StopMode::kWait), kFail);  // never started
    EXPECT_EQ(thread.m_bStopRequested, 0);
    EXPECT_EQ(thread.m_nRuns, 0u);
    ASSERT_EQ(thread.Start(), 0u);
    ASSERT_EQ(thread.Stop(CWorkerThread::StopMode::kWait), 0u);
    ASSERT_EQ(thread.Start(), 0u);
    EXPECT_EQ(thread.m_bStopRequested, 0);
    ASSERT_EQ(thread.Stop(CWorkerThread::StopMode::kWait), 0u);
    EXPECT_EQ(thread.m_nExitCode, 202u);

    // A run that ended by itself and was never stopped leaves its end behind; the next run's Stop
    // must still wait for that next run.
    thread.m_bUntilStopped = false;
    ASSERT_EQ(thread.Start(), 0u);
    ASSERT_TRUE(WaitUntilIdle(thread));
    EXPECT_EQ(thread.m_nExitCode, 103u);
    thread.m_bUntilStopped = true;
    ASSERT_EQ(thread.Start(), 0u);
    EXPECT_EQ(thread.m_nState, CWorkerThread::ThreadState::kRunning);
    EXPECT_EQ(thread.Stop(CWorkerThread::StopMode::kWait), 0u);
    EXPECT_EQ(thread.m_nExitCode, 204u);

    // Stopping a run that already ended by itself succeeds without a stop request.
    thread.m_bUntilStopped = false;
    ASSERT_EQ(thread.Start(), 0u);
    ASSERT_TRUE(WaitUntilIdle(thread));
    EXPECT_EQ(thread.Stop(CWorkerThread::StopMode::kWait), 0u);
    EXPECT_EQ(thread.m_nExitCode, 105u);
    EXPECT_EQ(thread.GetThreadHandle(), nullptr);
    EXPECT_EQ(thread.m_bStopRequested, 0);
}

TEST(WorkerThread, AThreadLeftRunningNeverTouchesItsDestroyedObject) {
    const HANDLE hSawStop = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const HANDLE hHold = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    alignas(CTestThread) unsigned char storage[sizeof(CTestThread)];
    CTestThread* pThread = new (storage) CTestThread(hSawStop, hHold);
    ASSERT_EQ(pThread->Start(), 0u);
    const HANDLE hThread =
        OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, pThread->m_nThreadId);
    ASSERT_NE(hThread, nullptr);
    // Abandoning stops with kNoWait: it returns at once, the object idle, the thread running.
    ASSERT_EQ(pThread->Abandon(), 0u);
    EXPECT_EQ(pThread->m_nState, CWorkerThread::ThreadState::kIdle);
    EXPECT_EQ(pThread->GetThreadHandle(), nullptr);
    ASSERT_EQ(WaitForSingleObject(hSawStop, kPatience), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(hThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    pThread->~CTestThread();
    std::memset(storage, 0xA5, sizeof(storage));
    SetEvent(hHold);
    ASSERT_EQ(WaitForSingleObject(hThread, kPatience), WAIT_OBJECT_0);
    DWORD nThreadExit = 0;
    EXPECT_TRUE(GetExitCodeThread(hThread, &nThreadExit));
    EXPECT_EQ(nThreadExit, 201u);
    for (unsigned char byte : storage) ASSERT_EQ(byte, 0xA5);
    CloseHandle(hThread);
    CloseHandle(hSawStop);
    CloseHandle(hHold);
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
