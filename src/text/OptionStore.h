// The suite's options, read by numeric option id; the library reads only option 2, the language
// code. They come from the suite's options server (a COM class) or, when the switch in the file
// velOptions.reg beside the library is non-zero, from that file. The source is chosen at the
// first query and kept until ReleaseServer.
#pragma once

#include <windows.h>

#include "framework/CriticalSection.h"
#include "text/StrBuf.h"

class COptionStore {
  public:
    // A store that finds velOptions.reg and "%INSTALLDIR%" through the library's own module
    // (g_hLibInstance, looked up at each query because it is set after static construction).
    COptionStore();
    // A store that takes pszFolder, with or without its trailing backslash, as the library's
    // folder; null or empty behaves as the default constructor.
    explicit COptionStore(const char* pszFolder);
    // Releases the server instance if one is held.
    ~COptionStore();
    COptionStore(const COptionStore&) = delete;
    COptionStore& operator=(const COptionStore&) = delete;

    // Greater than 0 with the option's text in out; 0 when the option is absent or empty or the
    // store is unusable; a negative status on failure. out is empty unless the result is > 0.
    StatusWord GetOption(UINT nOptionId, CStrBuf& out);
    // Releases the server instance if one is held; the next query chooses the source again.
    void ReleaseServer();

    // Reads a key of a profile file's section, growing the buffer until the whole value fits.
    // ST_OK with the value in out; otherwise out holds pszDefault (or is empty when it is null)
    // and the result is 0 (absent or empty), ST_E_INVALIDARG (no file, a path of 260 characters
    // or more, no section, no key) or ST_E_OUTOFMEMORY. A null key is refused as well: the
    // platform would answer with the list of the section's keys instead of a value.
    static StatusWord ReadProfileString(const char* pszFile, const char* pszSection,
                                        const char* pszKey, CStrBuf& out, const char* pszDefault);

  private:
    // The options server's interface as this library calls it; the four operations between
    // IUnknown and GetOption keep the slots of the server's interface and are not called.
    struct IOptionServer : public IUnknown {
        // Not called by the library.
        virtual HRESULT STDMETHODCALLTYPE SetOption(LONG nOptionId, VARIANT* pValue,
                                                    LONG* pStatus) = 0;
        // Not called by the library.
        virtual HRESULT STDMETHODCALLTYPE DeleteOption(LONG nOptionId, LONG* pStatus) = 0;
        // Not called by the library.
        virtual HRESULT STDMETHODCALLTYPE Flush(LONG* pStatus) = 0;
        // Not called by the library.
        virtual HRESULT STDMETHODCALLTYPE Reload(LONG* pStatus) = 0;
        // Answers an option's value; *pStatus greater than 0 means the value is present.
        virtual HRESULT STDMETHODCALLTYPE GetOption(LONG nOptionId, VARIANT* pValue,
                                                    LONG* pStatus) = 0;
    };

    // Chooses the source while the state is 0: reads the switch, and in server mode creates
    // the server instance and probes it.
    void Init();
    // The library's folder with its trailing backslash.
    StatusWord GetLibraryDirectory(CStrBuf& out) const;
    // A bare file name taken relative to the library's folder; any name with a path as given.
    StatusWord MakeLibraryPath(const char* pszName, CStrBuf& out) const;
    // Reads an option from velOptions.reg and expands its escapes and place-holders.
    StatusWord ReadFileOption(UINT nOptionId, CStrBuf& out) const;
    // Asks the held server, falling back to a fresh instance when the held one belongs to
    // another thread's apartment.
    StatusWord ReadServerOption(UINT nOptionId, CStrBuf& out) const;
    // Creates an instance of the options server on the calling thread, or returns null.
    static IOptionServer* CreateServer();
    // Makes one GetOption call on pServer and turns its answer into a status and text; hr
    // receives the call's result, and out is left empty unless the status is greater than 0.
    static StatusWord AskServer(IOptionServer* pServer, UINT nOptionId, CStrBuf& out, HRESULT& hr);

    // The server instance created by Init; null when there is none.
    IOptionServer* m_pServer;
    // 0: not yet initialised; greater than 0: usable; otherwise every query answers 0.
    StatusWord m_nState;
    // 1: options come from velOptions.reg; 0: from the options server.
    UINT m_bUseFile;
    // The folder that stands for the library's folder; empty: found through g_hLibInstance.
    CStrBuf m_strFolder;

    // The last option read from velOptions.reg, valid while the file keeps its time and size.
    // Every export reads option 2, and parsing the profile file costs more than the shell call
    // the export makes; an edit of the file changes its time and is seen at the next query.
    struct CFileCache {
        bool bValid = false;                // the fields below describe a read
        UINT nOptionId = 0;                 // the option read
        CStrBuf strFile;                    // the file it was read from
        WIN32_FILE_ATTRIBUTE_DATA stamp{};  // the file's times and size then
        StatusWord nStatus = 0;             // the read's result
        CStrBuf strValue;                   // the value read
    };
    // Reads an option from the file itself, without the cache.
    StatusWord ReadFileOptionUncached(UINT nOptionId, const CStrBuf& strFile, CStrBuf& out) const;
    // Answers a read from the cache when the file is unchanged; false otherwise.
    bool ReadCachedOption(UINT nOptionId, const CStrBuf& strFile,
                          const WIN32_FILE_ATTRIBUTE_DATA& stamp, CStrBuf& out,
                          StatusWord& nStatus) const;
    // The cache of the last file read; mutable because reads are const.
    mutable CFileCache m_fileCache;
    // Guards m_fileCache: exports may run on several threads.
    mutable CCriticalSection m_csCache;
};

// The library's options store.
extern COptionStore g_optionStore;
