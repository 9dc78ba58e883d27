#pragma once
// SIGINT, SIGTERM and SIGPIPE end a run early but cleanly. The handler only notes the
// signal; the run loops and the output writers see it, stop, and remove
// their temporary files on the way out; the process then ends as killed by
// that signal, so a shell sees 130 or 143.
namespace vonkel::lab {

// Installs the handler for SIGINT, SIGTERM and SIGPIPE (without SA_RESTART, so a
// blocked open or write returns and the run can stop).
void catchStopSignals();
// The signal received, or 0.
int stopSignal();
// If a stop signal arrived, ends the process with it; otherwise returns.
void endByStopSignal();

}  // namespace vonkel::lab
