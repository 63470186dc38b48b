// Order of the library's process-wide objects. The services that the tray
// manager's clean-up still uses (window registry, texts, options, design,
// trace) are built before and destroyed after the manager and the application
// object, which use the default order.
#pragma once

#define VEL_SERVICE_INIT __attribute__((init_priority(300)))
