// The shipped component: no quirks.
#include "DsgnQuirks.h"

bool QuirkOffersDesign() { return true; }

bool QuirkAnswer(LONG, VARIANT*, LONG*, HRESULT*) { return false; }
