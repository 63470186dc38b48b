// Test builds of the design component, one for each VEL_QUIRK: see the CMakeLists.txt beside.
#include <ole2.h>

#include "DsgnQuirks.h"
#include "text/Status.h"

namespace {

enum { kWithhold = 1, kOdd, kFailing, kRefusing };

// Answers with a number of this type.
void Number(VARIANT* pVar, VARTYPE vt, ULONG nValue) {
    pVar->vt = vt;
    pVar->ulVal = nValue;
}

}  // namespace

bool QuirkOffersDesign() { return VEL_QUIRK != kRefusing; }

bool QuirkAnswer(LONG nId, VARIANT* pVar, LONG* pStatus, HRESULT* pResult) {
    bool bFails = false, bStandsBy = true;
    if (VEL_QUIRK == kWithhold && nId == 111) {
        const HICON hIcon = LoadIcon(nullptr, IDI_APPLICATION);
        Number(pVar, VT_UI4, static_cast<ULONG>(reinterpret_cast<UINT_PTR>(hIcon)));
        bStandsBy = false;
    } else if (VEL_QUIRK == kOdd && (nId == 102 || nId == 201)) {
        pVar->vt = VT_BSTR;
        pVar->bstrVal = nId == 201 ? SysAllocString(L"red") : nullptr;
    } else if (VEL_QUIRK == kOdd && (nId == 202 || nId == 206)) {
        Number(pVar, nId == 202 ? VT_I4 : VT_UI4, nId == 202 ? 0x123456 : 0xFFFFFFFF);
    } else if (VEL_QUIRK == kFailing && nId == 102) {
        Number(pVar, VT_UI4, 0x41);
    } else {
        bFails = VEL_QUIRK == kFailing || (VEL_QUIRK == kOdd && (nId == 101 || nId == 205));
        if (!bFails) return false;
    }
    *pResult = bFails ? E_FAIL : S_OK;
    if (pStatus != nullptr) *pStatus = bFails ? ST_E_FAIL : bStandsBy ? ST_OK : 0;
    return true;
}
