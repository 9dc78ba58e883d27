#pragma once
// The subcommands of vonkel-lab, callable in-process (tests, fuzzing).
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/lab_options.h"
#include "tools/lab_reports.h"

namespace vonkel::lab {

// The whole program on the arguments after its name: parses them, runs the
// subcommand, and returns the exit status. Standard output goes to `out`,
// messages to `err`. Never throws.
int runLab(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// runLab() as the process: on std::cout and std::cerr, with SIGINT, SIGTERM
// and SIGPIPE caught. A run stopped by one of them removes its temporary files
// and then ends the process with that signal; otherwise the exit status is
// returned.
int runLabProcess(const std::vector<std::string>& args);

}  // namespace vonkel::lab
