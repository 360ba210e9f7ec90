// The signals that ask a process to stop (SIGINT from the terminal, SIGTERM
// from a service manager or kill), caught so that a run can end cleanly at a
// moment of its choosing: once caught, a signal is only recorded; the run
// asks for it at its safe points. A second stop signal ends the process at
// once, as if none had been caught (the way out when the first is not
// acted on). The stand-in for the system's console control handler.
//
// Process-wide: the handlers and the record belong to the process. Install
// once, from the main thread, before work starts.
#pragma once

namespace platform {

// Installs the handlers for SIGINT and SIGTERM. Returns true on success.
bool catchStopSignals();
// The number of the first stop signal caught since catchStopSignals
// (SIGINT 2, SIGTERM 15), or 0 when none was. Safe from any thread.
int caughtStopSignal();

}  // namespace platform
