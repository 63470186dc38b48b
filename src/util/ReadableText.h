// Tells whether a text pointer from the host can be read up to its terminator.
// The host may hand us anything; a pointer into unmapped or protected memory
// would otherwise fault inside the library, and GCC has no structured
// exception handling to contain such a fault. The check walks the memory
// regions that VirtualQuery reports as committed and readable, and looks for
// the terminator there; it never touches a byte it has not proven readable.
#pragma once

// True for a null pointer too: null is "no text", which callers handle themselves.
bool IsReadableText(const char* pszText);
