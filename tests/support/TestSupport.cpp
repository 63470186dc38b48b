#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>

std::string ProgramFolder() {
    char szPath[MAX_PATH] = {};
    const std::string path(szPath, GetModuleFileNameA(nullptr, szPath, MAX_PATH));
    return path.substr(0, path.rfind('\\') + 1);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

RECT WindowRect(HWND hWnd) {
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    return rc;
}

TempFolder::TempFolder(std::initializer_list<const char*> built) {
    static int s_nFolders = 0;
    char szTemp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, szTemp);
    // A folder left by an earlier run may still hold files: only a new one will do.
    do {
        m_path = std::string(szTemp) + "velTest" + std::to_string(GetCurrentProcessId()) + "_" +
                 std::to_string(++s_nFolders) + "\\";
    } while (!CreateDirectoryA(m_path.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    for (const char* pszName : built) Copy(pszName, pszName);
}

TempFolder::~TempFolder() {
    for (HMODULE hModule : m_modules) FreeLibrary(hModule);
    std::error_code error;  // a file that cannot go stays in the temporary folder
    std::filesystem::remove_all(m_path, error);
}

bool TempFolder::Copy(const std::string& source, const std::string& name) const {
    const std::string from =
        source.find('\\') == std::string::npos ? ProgramFolder() + source : source;
    return CopyFileA(from.c_str(), (m_path + name).c_str(), FALSE) != FALSE;
}

bool TempFolder::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream file(m_path + name, std::ios::binary | std::ios::trunc);
    return file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush().good();
}

HMODULE TempFolder::Load(const std::string& name) {
    const HMODULE hModule = LoadLibraryA((m_path + name).c_str());
    if (hModule != nullptr) m_modules.push_back(hModule);
    return hModule;
}

// Keeps the commands in the HostWindow object stored with the window.
static LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* pHost = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (message == WM_COMMAND && lParam == 0 && pHost) pHost->commands.push_back(wParam);
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

HostWindow::HostWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = "velTestHost";
    RegisterClassA(&wc);
    m_hWnd = CreateWindowExA(0, wc.lpszClassName, "test host", WS_OVERLAPPEDWINDOW, 40, 40, 300,
                             200, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

StringBlocks BlocksOf(const std::map<UINT, std::wstring>& texts) {
    std::map<WORD, std::wstring[16]> entries;
    for (const auto& [nId, text] : texts) entries[static_cast<WORD>(nId / 16 + 1)][nId % 16] = text;
    StringBlocks blocks;
    for (const auto& [nBlock, slots] : entries)
        for (const std::wstring& text : slots)
            blocks[nBlock] += static_cast<wchar_t>(text.size()) + text;
    return blocks;
}

bool WriteStringBlocks(const std::string& path, const StringBlocks& blocks, bool bOnly) {
    const HANDLE hUpdate = BeginUpdateResourceA(path.c_str(), bOnly);
    bool bDone = hUpdate != nullptr;
    for (const auto& [nBlock, words] : blocks)
        bDone = bDone && UpdateResourceA(hUpdate, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(nBlock), 0,
                                         const_cast<wchar_t*>(words.data()),
                                         static_cast<DWORD>(words.size() * sizeof(wchar_t)));
    return hUpdate != nullptr && EndUpdateResourceA(hUpdate, !bDone) && bDone;
}

OptionServer::OptionServer()
    : m_hServer(LoadLibraryA((ProgramFolder() + "velOptSrv.dll").c_str())) {
    Call("DllRegisterServer");
}

OptionServer::~OptionServer() {
    SetEnvironmentVariableA("VEL_OPTSRV_ANSWERS", nullptr);
    Call("DllUnregisterServer");
    if (m_hServer != nullptr) FreeLibrary(m_hServer);
}

void OptionServer::Answer(const std::string& content) {
    const std::string name = "answers" + std::to_string(++m_nAnswers) + ".ini";
    m_answers.Write(name, content);
    SetEnvironmentVariableA("VEL_OPTSRV_ANSWERS", m_answers(name).c_str());
}

HRESULT OptionServer::Call(const char* pszEntry) const {
    const auto pfn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(m_hServer, pszEntry)));
    return pfn != nullptr ? pfn() : E_NOTIMPL;
}

std::string Describe(const ShellCall& call, const PictureNames& names) {
    static const char* const kMessages[] = {"add", "modify", "delete"};
    std::string line = call.dwMessage < 3 ? kMessages[call.dwMessage] : "message?";
    if (call.uFlags != 0) line += " ";
    line += std::string((call.uFlags & NIF_MESSAGE) ? "M" : "") +
            ((call.uFlags & NIF_ICON) ? "I" : "") + ((call.uFlags & NIF_TIP) ? "T" : "");
    if (call.uFlags & NIF_ICON) {
        const auto name = names.find(call.hIcon);
        line += " " + (call.hIcon == nullptr ? "-" : name != names.end() ? name->second : "?");
    }
    if (call.uFlags & NIF_TIP) line += " '" + call.tip + "'";
    if (call.cbSize != 488 || call.uID != 1 || !call.bRestIsZero ||
        call.uCallbackMessage != ((call.uFlags & NIF_MESSAGE) ? 4702u : 0u))
        line += " record amiss";
    return line;
}

std::vector<std::string> Describe(const std::vector<ShellCall>& calls, const PictureNames& names) {
    std::vector<std::string> lines;
    for (const ShellCall& call : calls) lines.push_back(Describe(call, names));
    return lines;
}
