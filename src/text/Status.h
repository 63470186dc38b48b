// Status words returned by the library's low-level services.
#pragma once

#include <cstdint>

// Greater than 0 is success, negative is failure, 0 means nothing was found.
using StatusWord = std::int32_t;

constexpr StatusWord ST_OK = 0x21000001;
constexpr StatusWord ST_E_OUTOFMEMORY = static_cast<StatusWord>(0xE100FFFAu);
constexpr StatusWord ST_E_INVALIDARG = static_cast<StatusWord>(0xE100FFFCu);
constexpr StatusWord ST_E_FAIL = static_cast<StatusWord>(0xE100FFFFu);
constexpr StatusWord ST_E_NOTFOUND = static_cast<StatusWord>(0xE100FFF3u);
// Or-ed into a platform error code so that it becomes a negative status.
constexpr StatusWord ST_E_WIN32 = static_cast<StatusWord>(0xEFFF0000u);

// Turns the calling thread's last platform error into a status word. 0 stays 0 and a code that
// already has its top bit set is passed through unchanged, so it is never mistaken for success.
StatusWord StatusFromLastError();
