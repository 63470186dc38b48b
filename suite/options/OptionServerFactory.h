// The class object that velOptSrv.dll hands to COM for the options server's class.
#pragma once

#include <objbase.h>
#include <windows.h>

class COptionServerFactory final : public IClassFactory {
  public:
    // A class object with one reference.
    COptionServerFactory();

    // Answers IUnknown and IClassFactory.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    // Counts a reference.
    ULONG STDMETHODCALLTYPE AddRef() override;
    // Drops a reference; the last one deletes the class object.
    ULONG STDMETHODCALLTYPE Release() override;
    // Creates an options server object; aggregation is not supported.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override;
    // Keeps the DLL loaded while locked.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL bLock) override;

  private:
    // Gives up the class object's count in the module.
    ~COptionServerFactory();

    // References held by clients.
    LONG m_nRefs;
};
