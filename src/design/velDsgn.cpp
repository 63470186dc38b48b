#include "design/velDsgn.h"

#include <iterator>

#include "core/InitOrder.h"

namespace {

// Property ids of the plain values, in the order they are stored.
constexpr LONG kValueIds[9] = {104, 106, 110, 111, 112, 113, 103, 105, 107};
// Built-in colours of properties 201 to 209.
constexpr COLORREF kDefaultColors[9] = {0x48AF41, 0x000000, 0x48AF41, 0x000000, 0xFFFFFF,
                                        0xFFFFFF, 0xAFAFAF, 0x202020, 0xFFB060};

}  // namespace

CvelDsgn g_velDsgn VEL_SERVICE_INIT;

CvelDsgn::CvelDsgn() : m_hIcon(nullptr), m_dwValues{} {
    std::copy(std::begin(kDefaultColors), std::end(kDefaultColors), m_crColors);
}

void CvelDsgn::Init() {}

bool CvelDsgn::StoredValue(LONG nId, DWORD& value) const {
    if (nId == 101) {
        value = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(m_hIcon));
        return true;
    }
    for (size_t i = 0; i < std::size(kValueIds); ++i) {
        if (kValueIds[i] == nId) {
            value = m_dwValues[i];
            return true;
        }
    }
    if (nId >= 201 && nId <= 209) {
        value = m_crColors[nId - 201];
        return true;
    }
    return false;
}

HRESULT CvelDsgn::GetProperty(LONG nId, VARIANT* pVar, StatusWord* pStatus) {
    if (pStatus != nullptr) *pStatus = ST_OK;
    DWORD value = 0;
    if (pVar != nullptr && StoredValue(nId, value)) {
        pVar->vt = VT_UI4;
        pVar->ulVal = value;
    } else if (pStatus != nullptr) {
        *pStatus = ST_E_INVALIDARG;
    }
    return S_OK;
}
