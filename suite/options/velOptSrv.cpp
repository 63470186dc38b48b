// velOptSrv.dll's own entry points: the class object for COM and the registration; the
// module's entry point and DllCanUnloadNow are the suite's common ones. The class is
// registered where COM looks classes up, the classes root; on Windows that lands in the
// machine's classes and needs administrator rights, as every regsvr32 registration does. Wine's
// COM reads only the machine's classes, so a per-user registration would not be found there.
#include <olectl.h>

#include "ClassFactory.h"
#include "ComModule.h"
#include "IOptionServer.h"
#include "OptionServer.h"

namespace {

// The class's key below HKEY_CLASSES_ROOT and its server subkey.
constexpr const char* kClassKey = "CLSID\\{0DD9DD30-AF19-496B-85D1-670060C8BA3E}";
constexpr const char* kServerSubkey = "InprocServer32";
// Each object serves only the thread that created it, which is what COM's apartment model
// promises its clients.
constexpr const char* kThreadingModel = "Apartment";

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return CClassFactory<COptionServer>::GetClassObject(rclsid, CLSID_velOptionServer, riid, ppv);
}

STDAPI DllRegisterServer() {
    char szPath[MAX_PATH];
    DWORD nLength = GetModuleFileNameA(g_hComModule, szPath, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH) return SELFREG_E_CLASS;
    char szKey[MAX_PATH];
    wsprintfA(szKey, "%s\\%s", kClassKey, kServerSubkey);
    HKEY hKey = nullptr;
    LONG nError = RegCreateKeyExA(HKEY_CLASSES_ROOT, szKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &hKey, nullptr);
    if (nError != ERROR_SUCCESS) return HRESULT_FROM_WIN32(nError);
    nError = RegSetValueExA(hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(szPath),
                            nLength + 1);
    if (nError == ERROR_SUCCESS) {
        nError = RegSetValueExA(hKey, "ThreadingModel", 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(kThreadingModel),
                                lstrlenA(kThreadingModel) + 1);
    }
    RegCloseKey(hKey);
    return HRESULT_FROM_WIN32(nError);
}

STDAPI DllUnregisterServer() {
    HKEY hClass = nullptr;
    LONG nError = RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, KEY_ALL_ACCESS, &hClass);
    if (nError == ERROR_FILE_NOT_FOUND) return S_OK;
    if (nError != ERROR_SUCCESS) return HRESULT_FROM_WIN32(nError);
    nError = RegDeleteKeyA(hClass, kServerSubkey);
    RegCloseKey(hClass);
    if (nError != ERROR_SUCCESS && nError != ERROR_FILE_NOT_FOUND) {
        return HRESULT_FROM_WIN32(nError);
    }
    nError = RegDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey);
    return HRESULT_FROM_WIN32(nError);
}
