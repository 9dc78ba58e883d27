#pragma once
// `vonkel-lab replay`: plays a run file again, makes the outputs that play
// makes, and checks the replay against the run's digests.
#include <iosfwd>

#include "tools/lab_options.h"

namespace vonkel::lab {

// Prints the check's line on `out` (on `err` when an output is standard
// output). Returns kExitOk when the replay matches its run, kExitFailure
// when it does not or an output could not be written, kExitUsage for bad
// arguments or a bad run file (nothing written).
int runReplay(const LabOptions& options, std::ostream& out, std::ostream& err);

}  // namespace vonkel::lab
