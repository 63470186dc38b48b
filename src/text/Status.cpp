#include "text/Status.h"

#include <windows.h>

StatusWord StatusFromLastError() {
    const DWORD error = GetLastError();
    if (error == 0 || (error & 0x80000000u) != 0) {
        return static_cast<StatusWord>(error);
    }
    return static_cast<StatusWord>(error | static_cast<DWORD>(ST_E_WIN32));
}
