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
#include <random>
#include <string>
#include <thread>
#include <vector>

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

// One random export call; checks its time and result.
void CallOne(const VelTrayApi& api, std::mt19937& rng, const HostileTexts& texts, HWND hDead) {
    const char* pszName = "";
    DWORD nResult = 0;
    const DWORD nStart = GetTickCount();
    const char* a = texts.Pick(rng);
    const char* b = texts.Pick(rng);
    const DWORD x = PickNumber(rng);
    const DWORD y = PickNumber(rng);
    switch (rng() % 18) {
        case 0:
            pszName = "velStartTray";
            nResult = api.velStartTray(PickWindow(rng, hDead), x);
            break;
        case 1:
            pszName = "velAddChipTray";
            nResult = api.velAddChipTray(a, x);
            break;
        case 2:
            pszName = "velCardAbsent";
            nResult = api.velCardAbsent(a, x);
            break;
        case 3:
            pszName = "velCardPresent";
            nResult = api.velCardPresent(a, x);
            break;
        case 4:
            pszName = "velCardIdentify";
            nResult = api.velCardIdentify(a, x);
            break;
        case 5:
            pszName = "velCardIdentified";
            nResult = api.velCardIdentified(a, b, x, y, x);
            break;
        case 6:
            pszName = "velCardUnknown";
            nResult = api.velCardUnknown(a, x);
            break;
        case 7:
            pszName = "velCardActive";
            nResult = api.velCardActive(a, x);
            break;
        case 8:
            pszName = "velHideChipIcon";
            nResult = api.velHideChipIcon(a);
            break;
        case 9:
            pszName = "velAddChipMenuItem";
            nResult = api.velAddChipMenuItem(a, x, y);
            break;
        case 10:
            pszName = "velAddSEMMenuItem";
            nResult = api.velAddSEMMenuItem(x, y);
            break;
        case 11:
            pszName = "velShowInformation";
            nResult = api.velShowInformation(x);
            break;
        case 12:
            pszName = "velHideInformation";
            nResult = api.velHideInformation();
            break;
        case 13:
            pszName = "velMMVAlert";
            nResult = api.velMMVAlert(a, b, x);
            break;
        case 14:
            pszName = "velStartSEMRotation";
            nResult = api.velStartSEMRotation();
            break;
        case 15:
            pszName = "velStopSEMRotation";
            nResult = api.velStopSEMRotation();
            break;
        case 16:
            pszName = "velSetDsgnColors";
            nResult = api.velSetDsgnColors(x, y);
            break;
        default:
            pszName = "velCardPresent";
            nResult = api.velCardPresent("Reader 0", x);
            break;
    }
    const DWORD nTook = GetTickCount() - nStart;
    if (nTook > kSlowCallMs) Fail("call took too long (ms)", pszName, nTook);
    const bool bStart = strcmp(pszName, "velStartTray") == 0;
    if (nResult != 0 && !(bStart && nResult == kStartFailed)) Fail("result", pszName, nResult);
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

}  // namespace

int main(int argc, char** argv) {
    unsigned nSeed = 20261205;
    int nCalls = 8000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--seed") == 0)
            nSeed = static_cast<unsigned>(strtoul(argv[i + 1], nullptr, 0));
        if (strcmp(argv[i], "--calls") == 0) nCalls = atoi(argv[i + 1]);
    }
    std::printf("velStress: seed %u, %d calls on %d threads\n", nSeed, nCalls, kThreads);
    std::fflush(stdout);
    VelTrayApi api;
    if (!api.Load()) {
        std::printf("FAIL: cannot load velTrayLib.dll\n");
        return 1;
    }
    const HostileTexts texts;
    HWND hDead =
        CreateWindowExA(0, "STATIC", "gone", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(hDead);

    // The first half runs while the tray is up; the stop comes while the threads are still
    // calling, and every call after it must return at once.
    std::atomic<int> nDone{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng(nSeed + t);
            for (int i = 0; i < nCalls / kThreads; ++i) {
                CallOne(api, rng, texts, hDead);
                ++nDone;
            }
        });
    }
    while (nDone < nCalls / 2) Sleep(5);
    const DWORD nMidStop = TimedStop(api, kStopLimitMs);
    for (std::thread& thread : threads) thread.join();
    // Every flag is clear again: a last stop does not wait.
    const DWORD nLastStop = TimedStop(api, 1000);
    api.Unload();
    std::printf("velStress: stop amid the calls took %lu ms, the last stop %lu ms\n",
                static_cast<unsigned long>(nMidStop), static_cast<unsigned long>(nLastStop));
    const int nFailures = g_nFailures;
    std::printf("velStress: %d passed, %d failed\n", nFailures == 0 ? 1 : 0,
                nFailures == 0 ? 0 : 1);
    return nFailures == 0 ? 0 : 1;
}
