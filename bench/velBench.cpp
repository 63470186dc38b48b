// velBench: the library's speed targets, each measured beside the platform call it is
// compared with, in the same run and the same Wine desktop:
//   1. the shared prologue of every export (option 2 read, language selected among two
//      language libraries), in file mode and in server mode, beside one NIM_MODIFY;
//   2. one chip state change through its export beside the raw shell calls it makes;
//      the library's own share of it (shell answered by an in-process stub) beside one
//      raw NIM_MODIFY;
//   3. the rotation's frame interval over 40 frames.
// The prologue is measured on the library's code linked into this program; the rest
// through velTrayLib.dll beside it.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

void Row(const char* pszWhat, double dMicros) { std::printf("  %-58s %10.2f us\n", pszWhat, dMicros); }

void Verdict(const char* pszGoal, double dRatio, double dLimit) {
    std::printf("  %-58s %10.3f  %s (goal <= %.2f)\n", pszGoal, dRatio,
                dRatio <= dLimit ? "met" : "NOT MET", dLimit);
}

// A window and an icon of our own in the notification area, for the raw shell calls.
class RawIcon {
public:
    RawIcon() {
        m_hWnd = CreateWindowExA(0, "STATIC", "velBench", 0, 0, 0, 0, 0, nullptr, nullptr,
                                 nullptr, nullptr);
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

}  // namespace

int main(int argc, char** argv) {
    const bool bQuick = argc > 1 && strcmp(argv[1], "--quick") == 0;
    const std::string bin = VelTrayApi::ProgramFolder();
    g_hLibInstance = GetModuleHandleA(nullptr);
    g_textTable.Load(g_hLibInstance);

    RawIcon raw;
    const double dRawModify = MicrosPerCall(300, [&] { raw.Call(NIM_MODIFY, NIF_ICON | NIF_TIP); });

    std::printf("\n1. Shared prologue of every export\n");
    COptionStore fileStore(bin.c_str());
    const double dFile = MicrosPerCall(20000, [&] { Prologue(fileStore); });
    const double dServer = BenchPrologueInServerMode(bin);
    const double dReadOnly = MicrosPerCall(20000, [&] {
        CStrBuf code;
        fileStore.GetOption(2, code);
    });
    const double dSelectOnly = MicrosPerCall(20000, [] { g_textTable.SelectLanguage("enu"); });
    Row("  of which option 2 read from velOptions.reg", dReadOnly);
    Row("  of which language selected among two libraries", dSelectOnly);
    Row("prologue, file mode (velOptions.reg)", dFile);
    if (dServer >= 0) Row("prologue, server mode (velOptSrv.dll)", dServer);
    Row("one Shell_NotifyIconA NIM_MODIFY (real shell)", dRawModify);
    Verdict("file-mode prologue / NIM_MODIFY", dFile / dRawModify, 0.1);
    if (dServer >= 0) Verdict("server-mode prologue / NIM_MODIFY", dServer / dRawModify, 0.1);

    std::printf("\n2. One chip state change\n");
    VelTrayApi api;
    if (!api.Load()) {
        std::printf("  cannot load velTrayLib.dll\n");
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
    const double dExport = MicrosPerCall(300, change);
    // The same two calls the export makes on a shown icon: the picture, then the whole
    // record, with the same two pictures taking turns.
    const HICON hPictures[2] = {LoadIconA(api.hModule, MAKEINTRESOURCEA(205)),
                                LoadIconA(api.hModule, MAKEINTRESOURCEA(203))};
    unsigned nRawToggle = 0;
    const double dRawPair = MicrosPerCall(300, [&] {
        raw.SetIcon(hPictures[nRawToggle++ & 1]);
        raw.Call(NIM_MODIFY, NIF_ICON);
        raw.Call(NIM_MODIFY, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    });
    double dOwn;
    {
        ShellRecorder stub(api.hModule);
        dOwn = MicrosPerCall(5000, [&] {
            change();
            stub.Take();
        });
    }
    Row("velCardPresent/velCardActive through the export", dExport);
    Row("the same two Shell_NotifyIconA calls, raw", dRawPair);
    Row("the export with the shell answered by an in-process stub", dOwn);
    Row("one Shell_NotifyIconA NIM_MODIFY (real shell)", dRawModify);
    Verdict("export / its raw shell calls", dExport / dRawPair, 1.05);
    Verdict("library's own share / one NIM_MODIFY", dOwn / dRawModify, 0.1);

    std::printf("\n3. Rotation frame interval\n");
    if (bQuick) {
        std::printf("  skipped (--quick)\n");
    } else {
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
            intervals.push_back(static_cast<double>(frames[i].nTime - frames[i - 1].nTime) *
                                1000.0 / static_cast<double>(freq.QuadPart));
        }
        if (intervals.empty()) {
            std::printf("  no frames recorded\n");
        } else {
            std::vector<double> sorted = intervals;
            std::sort(sorted.begin(), sorted.end());
            const double dMedian = sorted[sorted.size() / 2];
            std::printf("  %-58s %10zu\n", "intervals measured", intervals.size());
            std::printf("  %-58s %10.1f ms\n", "median", dMedian);
            std::printf("  %-58s %10.1f ms\n", "shortest", sorted.front());
            std::printf("  %-58s %10.1f ms\n", "longest", sorted.back());
            std::printf("  %-58s %10s  %s (goal 500 to 510 ms)\n", "median within goal", "",
                        dMedian >= 500.0 && dMedian <= 510.0 ? "met" : "NOT MET");
        }
    }
    api.velStopTray();
    api.Unload();
    return 0;
}
