// IUnknown as the objects of the suite's in-process COM servers implement it: one interface
// besides IUnknown, a reference count, and a count in the module for as long as the object
// lives. Derived is the final class built on it. It answers which interface it offers in a
// member bool OffersInterface(REFIID) const and makes this base its friend, so that the
// base can make and delete it while its constructor and destructor stay private.
#pragma once

#include <objbase.h>

#include <new>

#include "ComModule.h"

template <class Derived, class Interface>
class CComObject : public Interface {
  public:
    // Objects are handed out by reference only.
    CComObject(const CComObject&) = delete;
    CComObject& operator=(const CComObject&) = delete;

    // Makes an object and asks it for riid; the object goes again when riid is refused.
    static HRESULT Create(REFIID riid, void** ppv) {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        Derived* pObject = new (std::nothrow) Derived;
        if (pObject == nullptr) return E_OUTOFMEMORY;
        const HRESULT hr = pObject->QueryInterface(riid, ppv);
        pObject->Release();
        return hr;
    }

    // Hands out IUnknown and the interface the derived class offers.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) ||
            static_cast<const Derived*>(this)->OffersInterface(riid)) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    // Counts one more reference.
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&m_nRefs));
    }

    // Counts one reference less; the last one deletes the object.
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG nRefs = InterlockedDecrement(&m_nRefs);
        if (nRefs == 0) delete static_cast<Derived*>(this);
        return static_cast<ULONG>(nRefs);
    }

  protected:
    // One reference, owned by the creator; keeps the module in use.
    CComObject() : m_nRefs(1) { ComModuleAddRef(); }
    // Only Release deletes, through the final class.
    ~CComObject() { ComModuleRelease(); }

  private:
    LONG m_nRefs;  // references handed out
};
