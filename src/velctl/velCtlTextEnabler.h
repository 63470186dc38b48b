// Stand-in for the text enabler of the suite's control library: a scope object that a
// window holds while it relabels its controls during an animation. While one is held on
// a thread, a new label of a velCtl control also clears what the old label left on the
// window beneath it, since the control draws transparently and would paint over it.
#pragma once

class CvelCtlTextEnabler {
  public:
    // Opens the scope on the calling thread (scopes nest).
    CvelCtlTextEnabler();
    // Closes the scope.
    ~CvelCtlTextEnabler();
    CvelCtlTextEnabler(const CvelCtlTextEnabler&) = delete;
    CvelCtlTextEnabler& operator=(const CvelCtlTextEnabler&) = delete;

    // True while at least one scope is open on the calling thread.
    static bool IsActive();
};
