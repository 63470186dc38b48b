// The component's design object: answers the suite's design properties from its
// own resources and tables.
#pragma once

#include "ComObject.h"
#include "design/IvelDsgn.h"

class CDsgnObject final : public CComObject<CDsgnObject, IvelDsgn> {
  public:
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
    // The IUnknown part makes and deletes the object.
    friend class CComObject<CDsgnObject, IvelDsgn>;

    // One reference, owned by the creator; keeps the module in use.
    CDsgnObject() = default;
    // Only Release deletes.
    ~CDsgnObject() = default;

    // IvelDsgn, unless the build's quirks refuse it.
    bool OffersInterface(REFIID riid) const;
};
