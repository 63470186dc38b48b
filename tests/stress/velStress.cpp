// velStress: the exports called at random from four threads with hostile
// arguments, a velStopTray in the middle of it, and a last velStopTray at the
// end. It fails on a call that takes more than 5 s, a result outside the
// export's set, a stop that takes more than 3.5 s, or a busy flag left set (a
// final velStopTray that waits); a crash ends the program before its summary.
//   velStress [--seed N] [--calls N]
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ShellRecorder.h"
#include "VelTrayApi.h"

namespace {

constexpr int kThreads = 4;
constexpr DWORD kSlowCallMs = 5000;
constexpr DWORD kStopLimitMs = 3500;
constexpr DWORD kStartFailed = 0x10090000;

std::atomic<int> g_nFailures{0};

void Fail(const char* pszWhat, const char* pszExport, DWORD nValue) {
    std::printf("FAIL: %s: %s (%lu)\n", pszExport, pszWhat, static_cast<unsigned long>(nValue));
    std::fflush(stdout);
    ++g_nFailures;
}

// Texts a host should never pass, and some it may.
class HostileTexts {
  public:
    HostileTexts() {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        m_nPage = si.dwPageSize;
        m_pPages = static_cast<char*>(
            VirtualAlloc(nullptr, 2 * m_nPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        memset(m_pPages, 'z', m_nPage);
        DWORD dwOld = 0;
        VirtualProtect(m_pPages + m_nPage, m_nPage, PAGE_NOACCESS, &dwOld);
        void* pFreed = VirtualAlloc(nullptr, m_nPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        VirtualFree(pFreed, 0, MEM_RELEASE);
        m_long.assign(64 * 1024, 'L');
        m_texts = {nullptr,
                   "",
                   reinterpret_cast<const char*>(1),
                   static_cast<const char*>(pFreed),
                   m_pPages + m_nPage - 4,  // runs into the inaccessible page
                   m_long.c_str(),
                   "Leser \xC4\xD6\xDC \xE9\xE8",
                   "\x81\x40\x82\xA0 reader",
                   "Reader 0",
                   "Reader 1",
                   "Reader 2",
                   "reader 0"};
    }
    ~HostileTexts() { VirtualFree(m_pPages, 0, MEM_RELEASE); }
    const char* Pick(std::mt19937& rng) const { return m_texts[rng() % m_texts.size()]; }

  private:
    DWORD m_nPage = 0;
    char* m_pPages = nullptr;
    std::string m_long;
    std::vector<const char*> m_texts;
};

DWORD PickNumber(std::mt19937& rng) {
    static const DWORD kNumbers[] = {0,      1,      3,      0x4000, 0x1800, 0xFFFFFFFF,
                                     0x7FFF, 0x8000, 0xFFFF, 5424,   4908,   0x80000000};
    return rng() % 3 == 0 ? static_cast<DWORD>(rng()) : kNumbers[rng() % 12];
}

HWND PickWindow(std::mt19937& rng, HWND hDead) {
    switch (rng() % 4) {
        case 0:
            return nullptr;
        case 1:
            return hDead;
        case 2:
            return reinterpret_cast<HWND>(static_cast<UINT_PTR>(rng()));
        default:
            return GetDesktopWindow();
    }
}

// The library under load.
VelTrayApi g_api;

// The arguments of one call, drawn at random.
struct Args {
    const char* a;  // a reader name or text
    const char* b;  // another text
    DWORD x, y;     // numbers
};

// One export and how often it is drawn: the calls that slide the information window (its
// pauses are specified) come seldom, the rest often. velStartTray is the user-interface
// thread's (it makes its thread the home of the windows): the main thread calls it amid the
// storm.
struct StressCall {
    const char* pszName;            // the export
    int nWeight;                    // relative frequency
    DWORD (*pfnCall)(const Args&);  // the call, on the library of g_api
};

const StressCall kCalls[] = {
    {"velAddChipTray", 3, [](const Args& r) { return g_api.velAddChipTray(r.a, r.x); }},
    {"velCardAbsent", 3, [](const Args& r) { return g_api.velCardAbsent(r.a, r.x); }},
    {"velCardPresent", 4, [](const Args& r) { return g_api.velCardPresent(r.a, r.x); }},
    {"velCardIdentify", 3, [](const Args& r) { return g_api.velCardIdentify(r.a, r.x); }},
    {"velCardIdentified", 1,
     [](const Args& r) { return g_api.velCardIdentified(r.a, r.b, r.x, r.y, r.x); }},
    {"velCardUnknown", 3, [](const Args& r) { return g_api.velCardUnknown(r.a, r.x); }},
    {"velCardActive", 3, [](const Args& r) { return g_api.velCardActive(r.a, r.x); }},
    {"velHideChipIcon", 2, [](const Args& r) { return g_api.velHideChipIcon(r.a); }},
    {"velAddChipMenuItem", 2,
     [](const Args& r) { return g_api.velAddChipMenuItem(r.a, r.x, r.y); }},
    {"velAddSEMMenuItem", 2, [](const Args& r) { return g_api.velAddSEMMenuItem(r.x, r.y); }},
    {"velShowInformation", 1, [](const Args& r) { return g_api.velShowInformation(r.x); }},
    {"velHideInformation", 1, [](const Args&) { return g_api.velHideInformation(); }},
    {"velMMVAlert", 1, [](const Args& r) { return g_api.velMMVAlert(r.a, r.b, r.x); }},
    {"velStartSEMRotation", 1, [](const Args&) { return g_api.velStartSEMRotation(); }},
    {"velStopSEMRotation", 1, [](const Args&) { return g_api.velStopSEMRotation(); }},
    {"velSetDsgnColors", 1, [](const Args& r) { return g_api.velSetDsgnColors(r.x, r.y); }},
};

// One random export call; checks its time and result.
void CallOne(std::mt19937& rng, const HostileTexts& texts) {
    int nTotal = 0;
    for (const StressCall& call : kCalls) nTotal += call.nWeight;
    int nPick = static_cast<int>(rng() % static_cast<unsigned>(nTotal));
    const StressCall* pCall = kCalls;
    while (nPick >= pCall->nWeight) nPick -= (pCall++)->nWeight;
    const Args args = {texts.Pick(rng), texts.Pick(rng), PickNumber(rng), PickNumber(rng)};
    const DWORD nStart = GetTickCount();
    const DWORD nResult = pCall->pfnCall(args);
    const DWORD nTook = GetTickCount() - nStart;
    if (nTook > kSlowCallMs) Fail("call took too long (ms)", pCall->pszName, nTook);
    if (nResult != 0) Fail("result", pCall->pszName, nResult);
}

// A start with hostile arguments, on the user-interface thread.
void StartOnce(const VelTrayApi& api, std::mt19937& rng, HWND hDead) {
    const DWORD nStart = GetTickCount();
    const DWORD nResult = api.velStartTray(PickWindow(rng, hDead), PickNumber(rng));
    const DWORD nTook = GetTickCount() - nStart;
    if (nTook > kSlowCallMs) Fail("call took too long (ms)", "velStartTray", nTook);
    if (nResult != 0 && nResult != kStartFailed) Fail("result", "velStartTray", nResult);
}

// Calls velStopTray and checks that it came back in time.
DWORD TimedStop(const VelTrayApi& api, DWORD nLimitMs) {
    const DWORD nStart = GetTickCount();
    const DWORD nResult = api.velStopTray();
    const DWORD nTook = GetTickCount() - nStart;
    if (nResult != 0) Fail("result", "velStopTray", nResult);
    if (nTook > nLimitMs) Fail("stop took too long (ms)", "velStopTray", nTook);
    return nTook;
}

// Handles this thread's messages until the condition holds, starting the tray again now
// and then.
template <typename Condition>
void PumpUntil(Condition condition, const VelTrayApi& api, std::mt19937& rng, HWND hDead) {
    MSG msg;
    for (int nRound = 1; !condition(); ++nRound) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        if (nRound % 20 == 0) StartOnce(api, rng, hDead);
    }
}

}  // namespace

int main(int argc, char** argv) {
    unsigned nSeed = 20261205;
    int nCalls = 2000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--seed") == 0)
            nSeed = static_cast<unsigned>(strtoul(argv[i + 1], nullptr, 0));
        if (strcmp(argv[i], "--calls") == 0) nCalls = atoi(argv[i + 1]);
    }
    std::printf("velStress: seed %u, %d calls on %d threads\n", nSeed, nCalls, kThreads);
    std::fflush(stdout);
    VelTrayApi& api = g_api;
    if (!api.Load()) {
        std::printf("FAIL: cannot load velTrayLib.dll\n");
        return 1;
    }
    // The shell is answered in-process: the storm measures the library, not the shell.
    std::unique_ptr<ShellRecorder> pShell(new ShellRecorder(api.hModule));
    if (!pShell->IsActive()) {
        std::printf("FAIL: cannot bend the library's shell import\n");
        return 1;
    }
    const HostileTexts texts;
    HWND hDead =
        CreateWindowExA(0, "STATIC", "gone", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(hDead);

    // This thread is the host's user-interface thread: it starts the tray and keeps handling
    // messages. The first half of the calls runs while the tray is up; the stop comes while
    // the threads are still calling, and every call after it must return at once.
    if (api.velStartTray(nullptr, FALSE) != 0) Fail("result", "velStartTray", 1);
    std::atomic<int> nDone{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng(nSeed + t);
            for (int i = 0; i < nCalls / kThreads; ++i) {
                CallOne(rng, texts);
                ++nDone;
            }
        });
    }
    std::mt19937 rngMain(nSeed);
    PumpUntil([&] { return nDone >= nCalls / 2; }, api, rngMain, hDead);
    const DWORD nMidStop = TimedStop(api, kStopLimitMs);
    PumpUntil([&] { return nDone >= nCalls - nCalls % kThreads; }, api, rngMain, hDead);
    for (std::thread& thread : threads) thread.join();
    // Every flag is clear again: a last stop does not wait.
    const DWORD nLastStop = TimedStop(api, 1000);
    const size_t nShellCalls = pShell->Calls().size();
    pShell.reset();
    api.Unload();
    std::printf("velStress: %zu shell calls answered\n", nShellCalls);
    std::printf("velStress: stop amid the calls took %lu ms, the last stop %lu ms\n",
                static_cast<unsigned long>(nMidStop), static_cast<unsigned long>(nLastStop));
    const int nFailures = g_nFailures;
    std::printf("velStress: %d passed, %d failed\n", nFailures == 0 ? 1 : 0,
                nFailures == 0 ? 0 : 1);
    return nFailures == 0 ? 0 : 1;
}
