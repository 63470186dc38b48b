#include "velctl/velCtlTextEnabler.h"

namespace {

// Open scopes on this thread.
thread_local int t_nDepth = 0;

}  // namespace

CvelCtlTextEnabler::CvelCtlTextEnabler() { ++t_nDepth; }

CvelCtlTextEnabler::~CvelCtlTextEnabler() { --t_nDepth; }

bool CvelCtlTextEnabler::IsActive() { return t_nDepth > 0; }
