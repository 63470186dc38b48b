// velStress: the exports called at random from four threads with hostile
// arguments, a velStopTray in the middle of it, and a last velStopTray at the
// end. It fails on a call that takes more than 5 s, a result outside the
// export's set, a stop that takes more than 3.5 s, or a busy flag left set (a
// final velStopTray that waits); a crash ends the program before its summary.
//   velStress [--seed N]
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

constexpr int kThreads = 4, kAllCalls = 2000;  // the calls shared out evenly
using Rng = std::mt19937;
std::atomic<int> g_nFailures{0};
// The library under load.
VelTrayApi g_api;

// Makes an export's call; fails when it takes longer than the limit or gives a result other than
// VEL_OK and the one other result the export may give.
template <typename Call>
void Timed(const char* pszExport, DWORD nLimitMs, DWORD nOther, Call call) {
    const DWORD nStart = GetTickCount();
    const DWORD nResult = call();
    const DWORD nTook = GetTickCount() - nStart;
    if (nTook > nLimitMs || (nResult != VEL_OK && nResult != nOther)) {
        std::printf("FAIL: %s: result %lx after %lu ms\n", pszExport, nResult, nTook);
        std::fflush(stdout);
        ++g_nFailures;
    }
}

// Texts a host should never pass (the export tests try every kind of unreadable one on each
// export), and some it may.
const std::string kLong(64 * 1024, 'L');
const std::vector<const char*> kTexts({nullptr, "", reinterpret_cast<const char*>(1), kLong.c_str(),
                                       "Leser \xC4\xD6\xDC \xE9\xE8", "\x81\x40\x82\xA0 reader",
                                       "Reader 0", "Reader 1", "Reader 2", "reader 0"});
// One of them.
const char* Text(Rng& rng) { return kTexts[rng() % kTexts.size()]; }

// A number at a bound, a known id, or any.
DWORD Num(Rng& rng) {
    static const DWORD kNumbers[] = {0,      1,      3,      0x4000, 0x1800, 0xFFFFFFFF,
                                     0x7FFF, 0x8000, 0xFFFF, 5424,   4908,   0x80000000};
    return rng() % 3 == 0 ? static_cast<DWORD>(rng()) : kNumbers[rng() % 12];
}

// One export and how often it is drawn, with arguments drawn at random: the calls that slide
// the information window (it pauses on purpose) come seldom, the rest often. velStartTray is
// the user-interface thread's (it makes its thread the home of the windows): the main thread calls
// it amid the storm.
const struct {
    const char* pszName;     // the export
    int nWeight;             // relative frequency
    DWORD (*pfnCall)(Rng&);  // the call, on the library of g_api
} kCalls[] = {
    {"velAddChipTray", 3, [](Rng& g) { return g_api.velAddChipTray(Text(g), Num(g)); }},
    {"velCardAbsent", 3, [](Rng& g) { return g_api.velCardAbsent(Text(g), Num(g)); }},
    {"velCardPresent", 4, [](Rng& g) { return g_api.velCardPresent(Text(g), Num(g)); }},
    {"velCardIdentify", 3, [](Rng& g) { return g_api.velCardIdentify(Text(g), Num(g)); }},
    {"velCardIdentified", 1,
     [](Rng& g) { return g_api.velCardIdentified(Text(g), Text(g), Num(g), Num(g), Num(g)); }},
    {"velCardUnknown", 3, [](Rng& g) { return g_api.velCardUnknown(Text(g), Num(g)); }},
    {"velCardActive", 3, [](Rng& g) { return g_api.velCardActive(Text(g), Num(g)); }},
    {"velHideChipIcon", 2, [](Rng& g) { return g_api.velHideChipIcon(Text(g)); }},
    {"velAddChipMenuItem", 2,
     [](Rng& g) { return g_api.velAddChipMenuItem(Text(g), Num(g), Num(g)); }},
    {"velAddSEMMenuItem", 2, [](Rng& g) { return g_api.velAddSEMMenuItem(Num(g), Num(g)); }},
    {"velShowInformation", 1, [](Rng& g) { return g_api.velShowInformation(Num(g)); }},
    {"velHideInformation", 1, [](Rng&) { return g_api.velHideInformation(); }},
    {"velMMVAlert", 1, [](Rng& g) { return g_api.velMMVAlert(Text(g), Text(g), Num(g)); }},
    {"velStartSEMRotation", 1, [](Rng&) { return g_api.velStartSEMRotation(); }},
    {"velStopSEMRotation", 1, [](Rng&) { return g_api.velStopSEMRotation(); }},
    {"velSetDsgnColors", 1, [](Rng& g) { return g_api.velSetDsgnColors(Num(g), Num(g)); }},
};

// One random export call with random arguments.
void CallOne(Rng& rng) {
    int nTotal = 0;
    for (const auto& call : kCalls) nTotal += call.nWeight;
    int nPick = static_cast<int>(rng() % static_cast<unsigned>(nTotal));
    const auto* pCall = kCalls;
    while (nPick >= pCall->nWeight) nPick -= (pCall++)->nWeight;
    Timed(pCall->pszName, 5000, VEL_OK, [&] { return pCall->pfnCall(rng); });
}

// Handles this thread's messages until the condition holds, starting the tray again now and then
// with hostile arguments.
template <typename Condition>
void PumpUntil(Condition condition, Rng& rng, HWND hDead) {
    MSG msg;
    for (int nRound = 1; !condition(); ++nRound) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        if (nRound % 20 != 0) continue;
        const HWND windows[] = {nullptr, hDead, reinterpret_cast<HWND>(UINT_PTR{rng()}),
                                GetDesktopWindow()};
        Timed("velStartTray", 5000, VEL_E_FAIL,
              [&] { return g_api.velStartTray(windows[rng() % 4], Num(rng)); });
    }
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned nSeed = argc > 2 && strcmp(argv[1], "--seed") == 0
                               ? static_cast<unsigned>(strtoul(argv[2], nullptr, 0))
                               : 20261205;
    std::printf("velStress: seed %u, %d calls on %d threads\n", nSeed, kAllCalls, kThreads);
    std::fflush(stdout);
    // The shell is answered in-process: the storm measures the library, not the shell.
    if (!g_api.Load()) return std::printf("FAIL: cannot load velTrayLib.dll\n"), 1;
    std::unique_ptr<ShellRecorder> pShell(new ShellRecorder(g_api.hModule));
    if (!pShell->IsActive()) return std::printf("FAIL: cannot bend the shell import\n"), 1;
    HWND hDead =
        CreateWindowExA(0, "STATIC", "gone", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(hDead);

    // This thread is the host's user-interface thread: it starts the tray and keeps handling
    // messages. The first half of the calls runs while the tray is up; the stop comes while
    // the threads are still calling, and every call after it must return at once.
    Timed("velStartTray", 5000, VEL_OK, [] { return g_api.velStartTray(nullptr, FALSE); });
    std::atomic<int> nDone{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            Rng rng(nSeed + t);
            for (int i = 0; i < kAllCalls / kThreads; ++i, ++nDone) CallOne(rng);
        });
    }
    Rng rngMain(nSeed);
    PumpUntil([&] { return nDone >= kAllCalls / 2; }, rngMain, hDead);
    Timed("velStopTray", 3500, VEL_OK, g_api.velStopTray);
    PumpUntil([&] { return nDone >= kAllCalls; }, rngMain, hDead);
    for (std::thread& thread : threads) thread.join();
    // Every flag is clear again: a last stop does not wait.
    Timed("velStopTray", 1000, VEL_OK, g_api.velStopTray);
    pShell.reset();
    g_api.Unload();
    const bool bPassed = g_nFailures == 0;
    std::printf("velStress: %d passed, %d failed\n", bPassed ? 1 : 0, bPassed ? 0 : 1);
    return bPassed ? 0 : 1;
}
