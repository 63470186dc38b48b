// velDsgn.dll's own export: the class object of the component's class. The module's entry
// point and DllCanUnloadNow are the suite's common ones.
#include <objbase.h>

#include "ClassFactory.h"
#include "DsgnObject.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return CClassFactory<CDsgnObject>::GetClassObject(rclsid, CLSID_velDsgn, riid, ppv);
}
