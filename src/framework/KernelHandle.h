// Owner of a kernel object handle (thread, event, process, snapshot): closed with CloseHandle.
#pragma once

#include <windows.h>

#include "framework/OwnedHandle.h"

using CKernelHandle = COwnedHandle<HANDLE, ::CloseHandle>;
