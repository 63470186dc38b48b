#include "design/velDsgn.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/InitOrder.h"
#include "core/ProductName.h"
#include "core/velTrayLibApp.h"
#include "design/IvelDsgn.h"

namespace {

// File name of the design component, looked for in the library's own folder.
constexpr char kComponentFile[] = "velDsgn.dll";
// The product name the library falls back on.
constexpr char kProductName[] = VEL_PRODUCT_NAME;
// Resource id of the fallback icon of property 101 in the library's own module.
constexpr WORD kFallbackIconId = 101;

// Property ids of the plain values, in the order they are stored.
constexpr LONG kValueIds[9] = {104, 106, 110, 111, 112, 113, 103, 105, 107};
// Built-in colours of properties 201 to 209.
constexpr COLORREF kDefaultColors[9] = {0x48AF41, 0x000000, 0x48AF41, 0x000000, 0xFFFFFF,
                                        0xFFFFFF, 0xAFAFAF, 0x202020, 0xFFB060};
// Built-in texts of properties 102 and 301 to 313; null where the property is empty.
constexpr const char* kNameTexts[14] = {kProductName,
                                        VEL_PRODUCT_NAME,
                                        VEL_PRODUCT_NAME,
                                        VEL_PRODUCT_NAME,
                                        VEL_COMPANY_NAME,
                                        VEL_PRODUCT_NAME " Viewer",
                                        VEL_PRODUCT_NAME " Workflow",
                                        "Quillmark CSP",
                                        VEL_PRODUCT_NAME,
                                        VEL_COMPANY_NAME,
                                        VEL_PRODUCT_NAME " Card Wizard",
                                        nullptr,
                                        nullptr,
                                        VEL_PRODUCT_NAME " CRL Loader"};
// Properties that Init copies from the component, in the order it reads them.
constexpr LONG kReadIds[11] = {101, 102, 201, 202, 203, 204, 205, 206, 207, 208, 209};

// The component's exported entry that hands out its class object.
using PfnGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, LPVOID*);

// A VARIANT of type VT_BSTR holding the ANSI text converted with the system code page;
// VT_ERROR carrying E_OUTOFMEMORY when the string cannot be made.
void MakeTextVariant(const char* pszText, VARIANT& var) {
    VariantInit(&var);
    const int nWide = MultiByteToWideChar(CP_ACP, 0, pszText, -1, nullptr, 0);
    BSTR bstr = nWide > 0 ? SysAllocStringLen(nullptr, static_cast<UINT>(nWide - 1)) : nullptr;
    if (bstr != nullptr && MultiByteToWideChar(CP_ACP, 0, pszText, -1, bstr, nWide) > 0) {
        var.vt = VT_BSTR;
        var.bstrVal = bstr;
        return;
    }
    SysFreeString(bstr);
    var.vt = VT_ERROR;
    var.scode = E_OUTOFMEMORY;
}

}  // namespace

CvelDsgn g_velDsgn VEL_SERVICE_INIT;

CvelDsgn::CvelDsgn() : m_hIcon(nullptr), m_dwValues{}, m_pDsgn(nullptr) {
    std::copy(std::begin(kDefaultColors), std::end(kDefaultColors), m_crColors);
    for (size_t i = 0; i < std::size(m_varNames); ++i) {
        if (kNameTexts[i] != nullptr) {
            MakeTextVariant(kNameTexts[i], m_varNames[i]);
        } else {
            VariantInit(&m_varNames[i]);
        }
    }
}

CvelDsgn::~CvelDsgn() {
    ReleaseComponent();
    for (size_t i = std::size(m_varNames); i > 0; --i) VariantClear(&m_varNames[i - 1]);
    m_strProduct.Clear();
}

void CvelDsgn::ReleaseComponent() {
    IvelDsgn* pDsgn = m_pDsgn;
    m_pDsgn = nullptr;
    if (pDsgn != nullptr) {
        try {
            pDsgn->Release();
        } catch (...) {
        }
    }
    m_hModule.Reset();
}

void CvelDsgn::Init() {
    // Balanced by nobody: COM stays initialised on the starting thread for the life of
    // the process, so the result (already initialised, other apartment) does not matter.
    CoInitialize(nullptr);

    // A second start replaces the component of the first. Its interface and module are
    // released before the new load so that no reference and no load is lost, and the
    // values read from it go back to the built-in ones: the icon handle belonged to the
    // module just freed, and a start that finds no component ends as a first one would.
    ReleaseComponent();
    m_hIcon = nullptr;
    m_strProduct.Clear();
    std::copy(std::begin(kDefaultColors), std::end(kDefaultColors), m_crColors);

    // When the library's file name cannot be had, the bare file name is loaded.
    CStrBuf strPath;
    strPath.SetModuleDirectory(g_hLibInstance);
    strPath.Append(kComponentFile);
    m_hModule.Reset(LoadLibraryA(strPath.CStr()));
    if (m_hModule.Get() == nullptr) return;

    const FARPROC pfnProc = GetProcAddress(m_hModule.Get(), "DllGetClassObject");
    if (pfnProc == nullptr) return;
    const auto pfnGetClassObject =
        reinterpret_cast<PfnGetClassObject>(reinterpret_cast<void*>(pfnProc));
    // Only whether a pointer came back counts: a component may fill it and still
    // report a warning, or report success and leave it empty.
    IClassFactory* pFactory = nullptr;
    pfnGetClassObject(CLSID_velDsgn, IID_IClassFactory, reinterpret_cast<LPVOID*>(&pFactory));
    if (pFactory == nullptr) return;
    IUnknown* pObject = nullptr;
    pFactory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<LPVOID*>(&pObject));
    pFactory->Release();
    if (pObject == nullptr) return;
    IvelDsgn* pDsgn = nullptr;
    pObject->QueryInterface(IID_IvelDsgn, reinterpret_cast<LPVOID*>(&pDsgn));
    pObject->Release();
    m_pDsgn = pDsgn;
    if (m_pDsgn != nullptr) ReadComponent();
}

void CvelDsgn::ReadComponent() {
    VARIANT var;
    VariantInit(&var);
    LONG nStatus = 0;  // the component's verdict is not examined here, only its HRESULT
    for (const LONG nId : kReadIds) {
        // Cleared before every read: a component that answers a text where a number is
        // expected, and overwrites the VARIANT as an out value, must not leak that text.
        // To a component the VARIANT looks the same either way: empty.
        VariantClear(&var);
        const HRESULT hr = m_pDsgn->GetProperty(nId, &var, &nStatus);
        if (nId == 102) {
            if (FAILED(hr)) {
                m_strProduct.Assign(kProductName);
            } else {
                TakeProductName(var);
            }
            continue;
        }
        DWORD word = 0;
        const bool bAnswered = SUCCEEDED(hr) && WordFromVariant(var, word);
        if (nId == 101) {
            // The library carries no icon 101, so the fallback handle normally stays null.
            m_hIcon = bAnswered ? reinterpret_cast<HICON>(static_cast<UINT_PTR>(word))
                                : LoadIconA(g_hLibInstance, MAKEINTRESOURCEA(kFallbackIconId));
        } else {
            m_crColors[nId - 201] = bAnswered ? word : kDefaultColors[nId - 201];
        }
    }
    VariantClear(&var);
}

void CvelDsgn::TakeProductName(const VARIANT& var) {
    // Only a BSTR carries a text. A number in its place is no address to read from, so
    // it counts as no text, the same as a null BSTR: the product name becomes empty.
    if (var.vt != VT_BSTR || var.bstrVal == nullptr) {
        m_strProduct.Clear();
        return;
    }
    // The size is asked for first rather than assumed: a code page may need more than two
    // bytes per character, and a fixed guess would then lose the whole name.
    const int nWide = static_cast<int>(SysStringLen(var.bstrVal)) + 1;
    const int nBytes =
        WideCharToMultiByte(CP_ACP, 0, var.bstrVal, nWide, nullptr, 0, nullptr, nullptr);
    char* pBlock = nBytes > 0 ? static_cast<char*>(malloc(static_cast<size_t>(nBytes))) : nullptr;
    if (pBlock == nullptr ||
        WideCharToMultiByte(CP_ACP, 0, var.bstrVal, nWide, pBlock, nBytes, nullptr, nullptr) <= 0) {
        free(pBlock);
        m_strProduct.Clear();
        return;
    }
    // A BSTR may hold a 0 before its end; the name is what comes before it.
    const size_t nLength = strnlen(pBlock, static_cast<size_t>(nBytes));
    m_strProduct.Adopt(pBlock, static_cast<std::uint32_t>(nLength), 0);
}

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

VARIANT* CvelDsgn::StoredName(LONG nId) {
    if (nId == 102) return &m_varNames[0];
    if (nId >= 301 && nId <= 313) return &m_varNames[nId - 300];
    return nullptr;
}

HRESULT CvelDsgn::GetProperty(LONG nId, VARIANT* pVar, StatusWord* pStatus) {
    if (pStatus != nullptr) *pStatus = 0;
    if (m_pDsgn != nullptr) {
        // The interface speaks LONG, the library StatusWord: the same 32 bits, but
        // distinct types, so the status travels through a LONG of its own.
        LONG nStatus = 0;
        const HRESULT hr = m_pDsgn->GetProperty(nId, pVar, pStatus != nullptr ? &nStatus : nullptr);
        if (pStatus != nullptr) *pStatus = nStatus;
        return hr;
    }
    if (pStatus != nullptr) *pStatus = ST_OK;
    // Locally there is nowhere to put an answer without the caller's VARIANT.
    if (pVar == nullptr) {
        if (pStatus != nullptr) *pStatus = ST_E_INVALIDARG;
        return E_POINTER;
    }
    DWORD value = 0;
    if (StoredValue(nId, value)) {
        // A number holds nothing to free, so the caller's VARIANT is overwritten as an
        // out value.
        pVar->vt = VT_UI4;
        pVar->ulVal = value;
    } else if (VARIANT* pStored = StoredName(nId)) {
        VARIANT varCopy;
        VariantInit(&varCopy);
        const HRESULT hrCopy = VariantCopy(&varCopy, pStored);
        if (FAILED(hrCopy)) {
            varCopy.vt = VT_ERROR;
            varCopy.scode = hrCopy;
        }
        if (SUCCEEDED(VariantClear(pVar))) {
            *pVar = varCopy;
            VariantInit(&varCopy);
        }
        VariantClear(&varCopy);
    } else if (pStatus != nullptr) {
        *pStatus = ST_E_INVALIDARG;
    }
    return S_OK;
}

bool CvelDsgn::WordFromVariant(const VARIANT& var, DWORD& word) {
    switch (var.vt) {
        case VT_UI4:
        case VT_I4:
        case VT_UINT:
        case VT_INT:
            word = var.ulVal;
            return true;
        default:
            return false;
    }
}

COLORREF CvelDsgn::GetColor(LONG nId) const {
    if (nId < 201 || nId > 209) return CLR_INVALID;
    return m_crColors[nId - 201];
}

HICON CvelDsgn::GetIcon() const { return m_hIcon; }

const char* CvelDsgn::GetProductName() const { return m_strProduct.CStr(); }
