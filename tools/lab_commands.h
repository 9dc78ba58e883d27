#pragma once
// The subcommands of vonkel-lab, callable in-process (tests, fuzzing).
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/lab_options.h"

namespace vonkel {
struct World;
}

namespace vonkel::lab {

// The whole program: parses the arguments (argv[0] is the program name and
// is skipped), runs the subcommand, and returns the exit status. Standard
// output goes to `out`, messages to `err`. Never throws.
int runLab(int argc, char** argv, std::ostream& out, std::ostream& err);
int runLab(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Runs already validated options.
int runCommand(const LabOptions& options, std::ostream& out, std::ostream& err);

// The state of a game's song as one JSON object (the output of `song`),
// with nextDraw given by the caller.
std::string songJson(const World& world, int nextDraw);
// One line of the `play` trace.
std::string traceJson(const World& world, int64_t frame, int64_t timeMs, bool quit);
// The `terrain` printout of the grid (30 lines and the counts line).
std::string terrainText(const World& world);

// FNV-1a 64 of the 1200 cell kinds (one byte each) and of the 76800
// Framebuffer pixels (4 bytes each, little-endian).

// Reads a whole file. Returns an empty string or a message.
std::string readWholeFile(const std::string& path, std::string& contents);

}  // namespace vonkel::lab
