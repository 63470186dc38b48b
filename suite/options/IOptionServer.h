// The suite's options server interface: the class and interface identifiers the tray library
// creates it with, and the order of the interface's operations. The library calls only
// GetOption; the other four operations keep their slots for the suite's other programs.
#pragma once

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

// The options server's class.
constexpr CLSID CLSID_velOptionServer = {
    0x0DD9DD30, 0xAF19, 0x496B, {0x85, 0xD1, 0x67, 0x00, 0x60, 0xC8, 0xBA, 0x3E}};
// The options server's interface.
constexpr IID IID_IOptionServer = {
    0x5BF2646B, 0x015A, 0x4A87, {0xB2, 0xAC, 0xB3, 0x8C, 0xA4, 0x4A, 0xD4, 0x42}};

// Options by numeric id. Every operation answers a status in *pStatus: greater than 0 is
// success (for GetOption: the value is present), 0 is nothing there, negative is a failure.
struct IOptionServer : public IUnknown {
    // Stores a value for an option.
    virtual HRESULT STDMETHODCALLTYPE SetOption(LONG nOptionId, VARIANT* pValue, LONG* pStatus) = 0;
    // Removes an option.
    virtual HRESULT STDMETHODCALLTYPE DeleteOption(LONG nOptionId, LONG* pStatus) = 0;
    // Writes stored changes to the server's storage.
    virtual HRESULT STDMETHODCALLTYPE Flush(LONG* pStatus) = 0;
    // Reads the server's storage again.
    virtual HRESULT STDMETHODCALLTYPE Reload(LONG* pStatus) = 0;
    // Answers an option's value: texts as VT_BSTR or VT_LPSTR (a CoTaskMemAlloc block that
    // the caller frees), the probe 0xFFFFFFFF with a value convertible to a boolean.
    virtual HRESULT STDMETHODCALLTYPE GetOption(LONG nOptionId, VARIANT* pValue, LONG* pStatus) = 0;
};
