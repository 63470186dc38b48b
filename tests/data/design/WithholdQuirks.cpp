// A component that answers picture 111 with a handle and S_OK but leaves the status
// at 0: an answer it does not stand by.
#include "DsgnQuirks.h"

bool QuirkOffersDesign() { return true; }

bool QuirkAnswer(LONG nId, VARIANT* pVar, LONG* pStatus, HRESULT* pResult) {
    if (nId != 111) return false;
    pVar->vt = VT_UI4;
    pVar->ulVal =
        static_cast<ULONG>(reinterpret_cast<UINT_PTR>(LoadIcon(nullptr, IDI_APPLICATION)));
    if (pStatus != nullptr) *pStatus = 0;
    *pResult = S_OK;
    return true;
}
