// A component with failing and oddly typed answers: 101 and 205 fail, 102 is a null
// BSTR, 201 a text, 202 a signed number and 206 the system-colour marker.
#include <ole2.h>

#include "DsgnQuirks.h"
#include "text/Status.h"

bool QuirkOffersDesign() { return true; }

bool QuirkAnswer(LONG nId, VARIANT* pVar, LONG* pStatus, HRESULT* pResult) {
    LONG nStatus = ST_OK;
    *pResult = S_OK;
    switch (nId) {
        case 101:
        case 205:
            nStatus = ST_E_FAIL;
            *pResult = E_FAIL;
            break;
        case 102:
            pVar->vt = VT_BSTR;
            pVar->bstrVal = nullptr;
            break;
        case 201:
            pVar->vt = VT_BSTR;
            pVar->bstrVal = SysAllocString(L"red");
            break;
        case 202:
            pVar->vt = VT_I4;
            pVar->lVal = 0x123456;
            break;
        case 206:
            pVar->vt = VT_UI4;
            pVar->ulVal = 0xFFFFFFFF;
            break;
        default:
            return false;
    }
    if (pStatus != nullptr) *pStatus = nStatus;
    return true;
}
