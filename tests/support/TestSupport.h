// What the test programs share: the program's folder, folders staged for one case, a host's window
// that keeps the commands it receives, string tables written into a language library, the suite's
// options server registered for a test, and the library's calls to the shell as one line each.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "ShellRecorder.h"

// The folder of the running program (build/bin), ending with a backslash.
std::string ProgramFolder();
// A file's bytes; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
// A window's rectangle on the screen; empty for no window.
RECT WindowRect(HWND hWnd);

// A new folder under the temporary folder. At its end the modules loaded from it are freed and
// the folder goes with everything in it.
class TempFolder {
  public:
    // Copies the named files of the program's folder in.
    explicit TempFolder(std::initializer_list<const char*> built = {});
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The path of a file in the folder; the folder itself, with its backslash, for "".
    std::string operator()(const std::string& name = "") const { return m_path + name; }
    // Copies a file in under a name; a source without a folder is one of the program's folder.
    bool Copy(const std::string& source, const std::string& name) const;
    // Writes a file of the folder anew; false when it was not written whole.
    bool Write(const std::string& name, const std::string& bytes) const;
    // Deletes a file of the folder.
    void Remove(const std::string& name) const { DeleteFileA((m_path + name).c_str()); }
    // Loads a module from the folder; freed before the folder goes.
    HMODULE Load(const std::string& name);

  private:
    std::string m_path;              // the folder, ending with a backslash
    std::vector<HMODULE> m_modules;  // loaded from it
};

// A host's window (hidden) that keeps the commands the library posts to it.
class HostWindow {
  public:
    // Creates the window (registering its class the first time).
    HostWindow();
    ~HostWindow() { DestroyWindow(m_hWnd); }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    // The window, as the exports take it.
    operator HWND() const { return m_hWnd; }

    // The wParam of each WM_COMMAND with 0 in lParam, in the order of arrival; a command with
    // anything else in lParam is not the library's and is not kept.
    std::vector<WPARAM> commands;

  private:
    HWND m_hWnd;  // the window, destroyed with the object
};

// String-table blocks of a module: block number to its 16 entries as raw words.
using StringBlocks = std::map<WORD, std::wstring>;
// The blocks that hold these texts, each entry its length and then its characters.
StringBlocks BlocksOf(const std::map<UINT, std::wstring>& texts);
// Writes the blocks into a module file; bOnly drops every other resource of the file first.
bool WriteStringBlocks(const std::string& path, const StringBlocks& blocks, bool bOnly);

// The suite's options server (velOptSrv.dll beside the program), registered for the object's life.
class OptionServer {
  public:
    OptionServer();
    ~OptionServer();
    OptionServer(const OptionServer&) = delete;
    OptionServer& operator=(const OptionServer&) = delete;
    // Makes the server answer from a new file with this content: the server's file reader
    // may keep a file it read before.
    void Answer(const std::string& content);

  private:
    // Calls an entry of the server; E_NOTIMPL when it has none.
    HRESULT Call(const char* pszEntry) const;
    HMODULE m_hServer;     // velOptSrv.dll, loaded to call its registration
    TempFolder m_answers;  // the answers files
    int m_nAnswers = 0;    // answers files written
};

// Names of pictures for Describe: a picture not named shows as "?", none as "-".
using PictureNames = std::map<HICON, std::string>;
// A shell call as one line: "add MIT 203 'tip'" with the message, the items it carries (Message,
// Icon, Tip), the picture and the tooltip (when carried). A record whose size, icon id,
// callback message or unused bytes are amiss gets a note of it appended.
std::string Describe(const ShellCall& call, const PictureNames& names);
std::vector<std::string> Describe(const std::vector<ShellCall>& calls, const PictureNames& names);
