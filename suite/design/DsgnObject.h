// The component's design object: answers the suite's design properties from its
// own resources and tables.
#pragma once

#include "design/IvelDsgn.h"

class CDsgnObject final : public IvelDsgn {
  public:
    // One reference, owned by the creator; keeps the module in use.
    CDsgnObject();
    CDsgnObject(const CDsgnObject&) = delete;
    CDsgnObject& operator=(const CDsgnObject&) = delete;

    // Hands out IUnknown and IvelDsgn.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    // Counts one more reference.
    ULONG STDMETHODCALLTYPE AddRef() override;
    // Counts one reference less; the last one deletes the object.
    ULONG STDMETHODCALLTYPE Release() override;
    // Not offered: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Reserved3() override;
    // Not offered: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Reserved4() override;
    // Not offered: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Reserved5() override;
    // Not offered: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Reserved6() override;
    // Answers 101, 102, 110 to 113 and 201 to 209 with status 0x21000001; any other id
    // gets S_OK with status 0xE100FFFC and an empty VARIANT.
    HRESULT STDMETHODCALLTYPE GetProperty(LONG nId, VARIANT* pVar, LONG* pStatus) override;

  private:
    // Only Release deletes.
    ~CDsgnObject();

    LONG m_nRefs;  // references handed out
};
