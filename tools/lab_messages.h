#pragma once
// How a subcommand of vonkel-lab ends when it fails: one line on standard
// error, and the exit status that tells bad arguments from a failed write.
#include <iosfwd>
#include <string>

namespace vonkel::lab {

constexpr const char* kProgram = "vonkel-lab";

// One line on the terminal, whatever the message holds: control characters
// (from a path, an argument, a library) are escaped.
void say(std::ostream& err, const std::string& message);

// Bad arguments or input, found before anything is written: kExitUsage.
int usageError(std::ostream& err, const std::string& message);

// A run that could not write its outputs: kExitFailure. One stopped by a
// signal says nothing: the process is about to end with that signal.
int runFailure(std::ostream& err, const std::string& message);

}  // namespace vonkel::lab
