// The suite's design component as the library and the component both see it: the
// identifiers of its class and interface and the layout of the interface's table.
#pragma once

#include <oaidl.h>
#include <windows.h>

// Class of the component's class object, exported by velDsgn.dll.
constexpr CLSID CLSID_velDsgn = {
    0x6A4B5BD3, 0x87C3, 0x4825, {0xA6, 0x8D, 0xD7, 0xB3, 0x08, 0x96, 0x2C, 0xFC}};

// Interface of the component's object.
constexpr IID IID_IvelDsgn = {
    0x908FC43B, 0x09DD, 0x4F92, {0xAD, 0xB6, 0x47, 0x5D, 0xAA, 0xBE, 0x80, 0x9E}};

// Slots 0 to 2 are IUnknown's. The library calls only QueryInterface, Release and
// GetProperty; slots 3 to 6 keep their places in the table for the component.
struct IvelDsgn : public IUnknown {
    // Slot 3, kept for the component; the library never calls it.
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    // Slot 4, kept for the component; the library never calls it.
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    // Slot 5, kept for the component; the library never calls it.
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    // Slot 6, kept for the component; the library never calls it.
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    // Slot 7: answers property nId into *pVar and, when pStatus is given, a status
    // word above 0 for an answer it stands by.
    virtual HRESULT STDMETHODCALLTYPE GetProperty(LONG nId, VARIANT* pVar, LONG* pStatus) = 0;
};
