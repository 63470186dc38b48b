// The class object of one of the suite's in-process COM servers, for a class whose objects
// are of type T: T::Create(riid, ppv) makes one and asks it for riid.
#pragma once

#include <objbase.h>

#include "ComModule.h"
#include "ComObject.h"

template <class T>
class CClassFactory final : public CComObject<CClassFactory<T>, IClassFactory> {
  public:
    // DllGetClassObject for a server of the one class rclsidServed: a new class object,
    // asked for riid, when rclsid names that class.
    static HRESULT GetClassObject(REFCLSID rclsid, REFCLSID rclsidServed, REFIID riid, void** ppv) {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualCLSID(rclsid, rclsidServed)) return CLASS_E_CLASSNOTAVAILABLE;
        return Base::Create(riid, ppv);
    }

    // Makes an object of T and asks it for riid; no aggregation.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (pOuter != nullptr) return CLASS_E_NOAGGREGATION;
        return T::Create(riid, ppv);
    }

    // Keeps the module loaded while locked.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL bLock) override {
        if (bLock) {
            ComModuleAddRef();
        } else {
            ComModuleRelease();
        }
        return S_OK;
    }

  private:
    // The IUnknown part, which makes and deletes the class object.
    using Base = CComObject<CClassFactory, IClassFactory>;
    friend Base;

    // One reference, owned by the creator; keeps the module in use.
    CClassFactory() = default;
    // Only Release deletes.
    ~CClassFactory() = default;

    // The class object offers IClassFactory besides IUnknown.
    bool OffersInterface(REFIID riid) const { return IsEqualIID(riid, IID_IClassFactory); }
};
