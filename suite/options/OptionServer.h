// The options server's object. This server keeps no options of its own: it answers every
// GetOption from an answers file, kept in memory and read again whenever its time or size
// changed, so that a change takes effect at the next call. The file is the one named by the
// environment variable VEL_OPTSRV_ANSWERS or, when that is unset or empty, velOptSrv.ini beside
// velOptSrv.dll. Without a file every option is absent and the probe answers that the server is
// usable.
//
// The answers file is a profile file (names match without regard to case):
//
//   [Server]
//   CreateResult=<HRESULT>   creating an instance fails with this (default 0: it succeeds)
//
//   [0x<option id in eight lower-case hexadecimal digits>]   for example [0x00000002]
//   Type=BSTR|LPSTR|I4|BOOL  the VARIANT type of the value (default: none, VT_EMPTY)
//   Value=<text>             the value, a number for I4 and BOOL (at most 1023 characters)
//   Status=<number>          the status answered (default 1 when Type is given, else 0)
//   Result=<HRESULT>         the call's result (default 0); a failure answers no value
//
// Numbers are decimal, or hexadecimal after 0x. The probe's section [0xffffffff] defaults to
// Type=BOOL, Value=1, Status=1.
//
// An object serves only the thread that created it: a call from any other thread fails with
// RPC_E_WRONG_THREAD, as a call through another apartment's pointer does.
#pragma once

#include <map>
#include <string>

#include "ComObject.h"
#include "IOptionServer.h"

class COptionServer final : public CComObject<COptionServer, IOptionServer> {
  public:
    // Creates an object and asks it for riid, unless the answers file makes creation fail.
    static HRESULT Create(REFIID riid, void** ppv);

    // Not served: the answers file is edited directly.
    HRESULT STDMETHODCALLTYPE SetOption(LONG nOptionId, VARIANT* pValue, LONG* pStatus) override;
    // Not served: the answers file is edited directly.
    HRESULT STDMETHODCALLTYPE DeleteOption(LONG nOptionId, LONG* pStatus) override;
    // Not served: nothing is held to be written.
    HRESULT STDMETHODCALLTYPE Flush(LONG* pStatus) override;
    // Nothing to do: a changed answers file is read again by the next call.
    HRESULT STDMETHODCALLTYPE Reload(LONG* pStatus) override;
    // Answers an option from the answers file.
    HRESULT STDMETHODCALLTYPE GetOption(LONG nOptionId, VARIANT* pValue, LONG* pStatus) override;

  private:
    // The IUnknown part makes and deletes the object.
    friend class CComObject<COptionServer, IOptionServer>;

    // An object with one reference, bound to the calling thread.
    COptionServer();
    // Only Release deletes.
    ~COptionServer() = default;

    // IOptionServer besides IUnknown.
    bool OffersInterface(REFIID riid) const;

    // The answers file's path; false when it cannot be formed.
    static bool GetAnswersPath(char (&szPath)[MAX_PATH]);
    // A number from the answers file, or nDefault when the key is absent or empty.
    static LONG ReadNumber(const char* pszPath, const char* pszSection, const char* pszKey,
                           LONG nDefault);
    // Puts a value of the named type into pValue; unknown type names give VT_EMPTY.
    static HRESULT MakeValue(const char* pszType, const char* pszValue, VARIANT* pValue);

    // One option's answer as the answers file gives it.
    struct CAnswer {
        HRESULT hr;         // the call's result
        std::string type;   // the VARIANT type's name
        std::string value;  // the value's text
        LONG nStatus;       // the status answered
    };
    // The answer for an option, read from the file when it is not in memory.
    const CAnswer& FindAnswer(const char* pszPath, LONG nOptionId);

    // Answers read so far, by option id; dropped when the file changes.
    std::map<LONG, CAnswer> m_answers;
    // The file the answers came from, and its times and size then.
    std::string m_strAnswersPath;
    WIN32_FILE_ATTRIBUTE_DATA m_stamp;
    // The thread that created the object, the only one it serves.
    DWORD m_nThreadId;
};
