// A component that fails every request but 102, which it answers with a number where
// a BSTR belongs.
#include "DsgnQuirks.h"
#include "text/Status.h"

bool QuirkOffersDesign() { return true; }

bool QuirkAnswer(LONG nId, VARIANT* pVar, LONG* pStatus, HRESULT* pResult) {
    if (nId == 102) {
        pVar->vt = VT_UI4;
        pVar->ulVal = 0x41;
        if (pStatus != nullptr) *pStatus = ST_OK;
        *pResult = S_OK;
    } else {
        if (pStatus != nullptr) *pStatus = ST_E_FAIL;
        *pResult = E_FAIL;
    }
    return true;
}
