// The localised texts, looked up by id in the language resource libraries beside the library.
#pragma once

#include <windows.h>

#include "framework/ModuleHandle.h"
#include "text/StrBuf.h"
#include "text/WideText.h"

// Language libraries are files of three characters followed by "SEMk.dll" in the library's own
// folder, loaded as data files; each carries a string table and its three-letter language code as
// text 2. Look-ups try the current language first and then every other loaded library in load
// order, so a text missing from one language still shows in another. The table has no lock: the
// library calls it only from the host's user-interface thread.
class CTextTable {
  public:
    // Slot 0 stands for the current library; slots 1 to 9 hold the accepted libraries in load
    // order.
    static constexpr int kSlotCount = 10;
    // Characters read per text, terminator included; longer texts are cut.
    static constexpr int kTextCapacity = 2024;
    // Reads text nTextId of a library into pBuffer (nCapacity characters with the terminator) and
    // returns the entry's full length; 0 when the library has no such text.
    using StringLoader = int (*)(HMODULE hLibrary, UINT nTextId, WCHAR* pBuffer, int nCapacity);

    // Empty table without libraries.
    CTextTable();
    // Releases the loaded libraries.
    ~CTextTable();
    CTextTable(const CTextTable&) = delete;
    CTextTable& operator=(const CTextTable&) = delete;

    // Loads the language libraries beside the module; the first accepted one becomes current.
    // ST_OK when a current library exists afterwards, else ST_E_NOTFOUND.
    StatusWord Load(HMODULE hLibModule);
    // Makes the library of the code (any case) current; 0 for a null code, ST_E_NOTFOUND when no
    // loaded library has it (the current one stays).
    StatusWord SelectLanguage(const char* pszCode);
    // ST_OK with the text in out, or 0 when no library has it (out unchanged). A text that does not
    // convert to ANSI gives a failure status, out unchanged.
    StatusWord Lookup(UINT nTextId, CStrBuf& out) const;

  private:
    // Loads the file into the slot and keeps it if its text 2 is a three-character code; the
    // slot's status tells the caller whether it was accepted. Always ST_OK.
    StatusWord AddLibrary(const char* pszPath, int nSlot);
    // Reads one text of a library: ST_OK, or 0 or a failure status when it is missing or empty.
    StatusWord GetText(HMODULE hLibrary, UINT nTextId, CWideText& out) const;
    // Releases the libraries of slots 1 to 9 and empties every slot.
    void ReleaseLibraries();
    // The library of a slot: the current one for slot 0.
    HMODULE SlotLibrary(int nSlot) const;
    // The string-table reader, confined to the resource block it reads.
    static int ReadStringEntry(HMODULE hLibrary, UINT nTextId, WCHAR* pBuffer, int nCapacity);

    // The current library, borrowed from its slot among m_hLibraries and never released through
    // this; null before a library is accepted.
    HMODULE m_hCurrent;
    // Slots 1 to 9: the accepted libraries, one load of each owned. Slot 0 owns none: its place
    // in the look-up order is the current library's.
    CModuleHandle m_hLibraries[kSlotCount];
    // Slot 0: result of the last Load; slots 1 to 9: ST_OK when accepted, a platform error status
    // when the file did not load, 0 when unused.
    StatusWord m_nStatus[kSlotCount];
    // Reads the texts; set once by the constructor.
    const StringLoader m_pfnStringLoader;
};

// The library's text table, built at load and destroyed at unload.
extern CTextTable g_textTable;
