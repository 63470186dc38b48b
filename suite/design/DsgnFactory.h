// The component's class object: makes the design objects.
#pragma once

#include <objbase.h>

class CDsgnFactory final : public IClassFactory {
  public:
    // One reference, owned by the creator; keeps the module in use.
    CDsgnFactory();
    CDsgnFactory(const CDsgnFactory&) = delete;
    CDsgnFactory& operator=(const CDsgnFactory&) = delete;

    // Hands out IUnknown and IClassFactory.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    // Counts one more reference.
    ULONG STDMETHODCALLTYPE AddRef() override;
    // Counts one reference less; the last one deletes the object.
    ULONG STDMETHODCALLTYPE Release() override;
    // Makes a design object and asks it for riid; no aggregation.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override;
    // Keeps the module loaded while locked.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL bLock) override;

  private:
    // Only Release deletes.
    ~CDsgnFactory();

    LONG m_nRefs;  // references handed out
};
