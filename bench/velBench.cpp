// velBench: every speed target of the project, each measured beside the platform call it
// is compared with, in the same run and the same Wine desktop, printed as one table:
//   - the shared prologue of every export (option 2 read, language selected among two
//     language libraries), in file mode and in server mode, beside one NIM_MODIFY;
//   - one chip state change through its export beside the raw shell calls it makes; the
//     library's own share of it (shell answered by an in-process stub) beside one raw
//     NIM_MODIFY;
//   - the rotation's frame interval over 40 frames;
//   - the bitmap menu beside TrackPopupMenu, and the painting of one item;
//   - a right-click on a chip icon to its menu's first complete paint.
// The prologue and the bitmap menu are measured on the library's code linked into this
// program; the rest through velTrayLib.dll beside it.
//
//   velBench [--quick]     --quick: fewer rounds and no rotation (a smoke run)
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Median.h"
#include "MenuFigures.h"
#include "ShellRecorder.h"
#include "VelTrayApi.h"
#include "core/velTrayLibApp.h"
#include "text/OptionStore.h"
#include "text/TextTable.h"

namespace {

double Now() {
    static LARGE_INTEGER s_freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(s_freq.QuadPart);
}

// Microseconds per call of f, after one call to warm up.
template <typename F>
double MicrosPerCall(int nCalls, F f) {
    f();
    const double dStart = Now();
    for (int i = 0; i < nCalls; ++i) f();
    return (Now() - dStart) * 1e6 / nCalls;
}

// One line of the table: what was measured, its goal, the figures and whether it was met.
struct Figure {
    std::string what;      // the figure
    std::string goal;      // its goal
    std::string measured;  // the measured values
    bool bMet;             // the goal was met
};

std::string Format(const char* pszFormat, double a, double b = 0, double c = 0) {
    char text[160];
    std::snprintf(text, sizeof(text), pszFormat, a, b, c);
    return text;
}

// The table in the README's form, one line per figure.
void PrintTable(const std::vector<Figure>& figures) {
    std::printf("\n| figure | goal | measured | |\n|---|---|---|---|\n");
    for (const Figure& f : figures) {
        std::printf("| %s | %s | %s | %s |\n", f.what.c_str(), f.goal.c_str(), f.measured.c_str(),
                    f.bMet ? "met" : "NOT MET");
    }
}

// A window and an icon of our own in the notification area, for the raw shell calls.
class RawIcon {
  public:
    RawIcon() {
        m_hWnd = CreateWindowExA(0, "STATIC", "velBench", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                 nullptr);
        m_hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
        Call(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    }
    ~RawIcon() {
        Call(NIM_DELETE, 0);
        DestroyWindow(m_hWnd);
    }
    // The picture of the following calls.
    void SetIcon(HICON hIcon) { m_hIcon = hIcon; }

    BOOL Call(DWORD dwMessage, UINT uFlags) {
        NOTIFYICONDATAA nid;
        memset(&nid, 0, sizeof(nid));
        nid.cbSize = 488;
        nid.hWnd = m_hWnd;
        nid.uID = 1;
        nid.uFlags = uFlags;
        nid.uCallbackMessage = 4702;
        nid.hIcon = m_hIcon;
        strcpy(nid.szTip, "Bench Reader");
        return Shell_NotifyIconA(dwMessage, &nid);
    }

  private:
    HWND m_hWnd = nullptr;
    HICON m_hIcon = nullptr;
};

std::string TempFolder() {
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    std::string folder =
        std::string(szTemp) + "velbench" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void WriteFile(const std::string& path, const char* pszContent) {
    FILE* pFile = std::fopen(path.c_str(), "wb");
    if (pFile == nullptr) return;
    std::fputs(pszContent, pFile);
    std::fclose(pFile);
}

void Prologue(COptionStore& store) {
    CStrBuf code;
    store.GetOption(2, code);
    g_textTable.SelectLanguage(code.CStr());
}

double BenchPrologueInServerMode(const std::string& bin) {
    HMODULE hServer = LoadLibraryA((bin + "velOptSrv.dll").c_str());
    auto entry = [hServer](const char* pszName) {
        auto pfn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(hServer, pszName)));
        return pfn != nullptr ? pfn() : E_NOTIMPL;
    };
    if (hServer == nullptr || FAILED(entry("DllRegisterServer"))) {
        std::printf("  options server cannot be registered: server mode not measured\n");
        return -1;
    }
    const std::string folder = TempFolder();
    // Switch 0: the options come from the server, which answers "deu".
    WriteFile(folder + "velOptions.reg",
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmark\\Options\\0x80000000]\r\n"
              "\"Value\"=dword:00000000\r\n");
    WriteFile(folder + "answers.ini", "[0x00000002]\r\nType=BSTR\r\nValue=deu\r\n");
    SetEnvironmentVariableA("VEL_OPTSRV_ANSWERS", (folder + "answers.ini").c_str());
    CoInitialize(nullptr);
    double dMicros;
    {
        COptionStore store(folder.c_str());
        dMicros = MicrosPerCall(2000, [&] { Prologue(store); });
    }
    entry("DllUnregisterServer");
    SetEnvironmentVariableA("VEL_OPTSRV_ANSWERS", nullptr);
    DeleteFileA((folder + "velOptions.reg").c_str());
    DeleteFileA((folder + "answers.ini").c_str());
    RemoveDirectoryA(folder.c_str());
    return dMicros;
}

void PumpFor(DWORD nMilliseconds) {
    const DWORD nEnd = GetTickCount() + nMilliseconds;
    while (static_cast<LONG>(nEnd - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// The intervals between the rotation's frames, in ms: the first 40 of 20.7 s of rotation.
std::vector<double> RotationIntervals(const VelTrayApi& api) {
    std::vector<ShellCall> frames;
    {
        ShellRecorder recorder(api.hModule, true);
        api.velStartSEMRotation();
        PumpFor(20 * 1000 + 700);
        api.velStopSEMRotation();
        for (const ShellCall& call : recorder.Take()) {
            if (call.uFlags == (NIF_MESSAGE | NIF_ICON | NIF_TIP)) frames.push_back(call);
        }
    }
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    std::vector<double> intervals;
    for (size_t i = 1; i < frames.size() && intervals.size() < 40; ++i) {
        intervals.push_back(static_cast<double>(frames[i].nTime - frames[i - 1].nTime) * 1000.0 /
                            static_cast<double>(freq.QuadPart));
    }
    std::sort(intervals.begin(), intervals.end());
    return intervals;
}

// The window of the reader's chip icon, as the shell is told it when the icon is added.
HWND ChipIconWindow(const VelTrayApi& api, const char* pszReader) {
    ShellRecorder recorder(api.hModule, true);
    api.velCardPresent(pszReader, 0x10);
    for (const ShellCall& call : recorder.Take()) {
        if (call.dwMessage == NIM_ADD) return call.hWnd;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const bool bQuick = argc > 1 && strcmp(argv[1], "--quick") == 0;
    const std::string bin = VelTrayApi::ProgramFolder();
    g_hLibInstance = GetModuleHandleA(nullptr);
    g_textTable.Load(g_hLibInstance);
    std::vector<Figure> figures;

    std::fprintf(stderr, "velBench: the shared prologue\n");
    RawIcon raw;
    const double dRawModify = MicrosPerCall(300, [&] { raw.Call(NIM_MODIFY, NIF_ICON | NIF_TIP); });
    COptionStore fileStore(bin.c_str());
    const double dFile = MicrosPerCall(20000, [&] { Prologue(fileStore); });
    const double dServer = BenchPrologueInServerMode(bin);
    figures.push_back(
        {"prologue of an export, options file", "at most 1/10 of one NIM_MODIFY",
         Format("%.1f us against %.0f us: %.3f", dFile, dRawModify, dFile / dRawModify),
         dFile / dRawModify <= 0.1});
    figures.push_back({"prologue of an export, options server", "at most 1/10 of one NIM_MODIFY",
                       dServer < 0 ? "server not registered"
                                   : Format("%.1f us against %.0f us: %.3f", dServer, dRawModify,
                                            dServer / dRawModify),
                       dServer >= 0 && dServer / dRawModify <= 0.1});

    std::fprintf(stderr, "velBench: one chip state change\n");
    VelTrayApi api;
    if (!api.Load()) {
        std::printf("velBench: cannot load velTrayLib.dll\n");
        return 1;
    }
    api.velStartTray(nullptr, TRUE);
    api.velCardPresent("Bench Reader", 1);
    unsigned nToggle = 0;
    auto change = [&] {
        if (nToggle++ & 1) {
            api.velCardPresent("Bench Reader", 1);
        } else {
            api.velCardActive("Bench Reader", 1);
        }
    };
    // The same two calls the export makes on a shown icon: the picture, then the whole
    // record, with the same two pictures taking turns.
    const HICON hPictures[2] = {LoadIconA(api.hModule, MAKEINTRESOURCEA(205)),
                                LoadIconA(api.hModule, MAKEINTRESOURCEA(203))};
    unsigned nRawToggle = 0;
    auto rawPair = [&] {
        raw.SetIcon(hPictures[nRawToggle++ & 1]);
        raw.Call(NIM_MODIFY, NIF_ICON);
        raw.Call(NIM_MODIFY, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    };
    // Both take turns in short rounds, so that the shell's own drift over the run falls on
    // both alike; the medians of the rounds are compared.
    std::vector<double> exportRounds, rawRounds;
    for (int nRound = 0; nRound < 15; ++nRound) {
        exportRounds.push_back(MicrosPerCall(20, change));
        rawRounds.push_back(MicrosPerCall(20, rawPair));
    }
    const double dExport = Median(exportRounds);
    const double dRawPair = Median(rawRounds);
    double dOwn;
    {
        ShellRecorder stub(api.hModule);
        dOwn = MicrosPerCall(5000, [&] {
            change();
            stub.Take();
        });
    }
    figures.push_back(
        {"chip state change through its export", "at most 1.05 times its raw shell calls",
         Format("%.0f us against %.0f us: %.2f", dExport, dRawPair, dExport / dRawPair),
         dExport / dRawPair <= 1.05});
    figures.push_back({"library's own share of a chip state change",
                       "at most 1/10 of one NIM_MODIFY",
                       Format("%.0f us against %.0f us: %.3f", dOwn, dRawModify, dOwn / dRawModify),
                       dOwn / dRawModify <= 0.1});

    if (!bQuick) {
        std::fprintf(stderr, "velBench: the rotation (20 s)\n");
        const std::vector<double> intervals = RotationIntervals(api);
        const double dMedian = Median(intervals);
        figures.push_back({"rotation frame interval, 40 frames", "median within 500 to 510 ms",
                           intervals.empty() ? "no frames recorded"
                                             : Format("median %.1f ms, range %.1f to %.1f ms",
                                                      dMedian, intervals.front(), intervals.back()),
                           dMedian >= 500.0 && dMedian <= 510.0});
    }

    std::fprintf(stderr, "velBench: the bitmap menu\n");
    const MenuFigures menu = MeasureBitmapMenu(bQuick ? 20 : 200);
    const double dMenuRatio = menu.dPlatformMs > 0 ? menu.dBitmapMs / menu.dPlatformMs : 0;
    figures.push_back(
        {"bitmap menu: Track to first complete paint, ten items",
         "at most 1.5 times TrackPopupMenu",
         Format("%.2f ms against %.2f ms: %.2f", menu.dBitmapMs, menu.dPlatformMs, dMenuRatio),
         menu.dBitmapMs > 0 && menu.dPlatformMs > 0 && dMenuRatio <= 1.5});
    figures.push_back({"bitmap menu: one item with a 16 x 16 bitmap painted", "under 1 ms",
                       Format("%.3f ms", menu.dItemPaintMs),
                       menu.dItemPaintMs > 0 && menu.dItemPaintMs < 1.0});

    std::fprintf(stderr, "velBench: a click on a chip icon to its menu\n");
    const HWND hIconWnd = ChipIconWindow(api, "Click Reader");
    const double dClick = hIconWnd != nullptr ? MeasureClickToMenu(hIconWnd, bQuick ? 10 : 50) : -1;
    figures.push_back({"right-click on a chip icon to its menu's first complete paint",
                       "median under 50 ms",
                       dClick < 0 ? "no menu opened" : Format("median %.1f ms", dClick),
                       dClick >= 0 && dClick < 50.0});

    api.velStopTray();
    api.Unload();
    PrintTable(figures);
    return 0;
}
