// A component whose object does not offer IvelDsgn.
#include "DsgnQuirks.h"

bool QuirkOffersDesign() { return false; }

bool QuirkAnswer(LONG, VARIANT*, LONG*, HRESULT*) { return false; }
