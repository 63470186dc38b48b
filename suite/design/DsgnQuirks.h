// Where a build of the component departs from its regular behaviour. The shipped
// component links DsgnQuirks.cpp, which departs from nothing; test builds of the
// same sources link their own definitions to play broken or unusual components.
#pragma once

#include <oaidl.h>
#include <windows.h>

// False when the design object is to refuse IvelDsgn.
bool QuirkOffersDesign();
// True when the build answers property nId its own way; *pResult is then the HRESULT
// to return. *pVar arrives empty; pStatus may be null.
bool QuirkAnswer(LONG nId, VARIANT* pVar, LONG* pStatus, HRESULT* pResult);
