// Order of the library's process-wide objects. The services that the tray
// manager's clean-up still uses (window registry, texts, options, design,
// trace) are built before and destroyed after the manager and the application
// object, which use the default order.
#pragma once

#define VEL_SERVICE_INIT __attribute__((init_priority(300)))
// The home thread's record is built after those services and destroyed before them, and
// outlives the tray manager, whose stop still asks it where the windows live.
#define VEL_HOME_INIT __attribute__((init_priority(400)))
