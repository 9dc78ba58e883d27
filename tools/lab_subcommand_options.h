#pragma once
// The options of each subcommand of vonkel-lab as CLI11 reads them: their
// names and strict readers, the options that go together or are refused,
// the choice of the sound and video formats, and each subcommand's help.
#include "tools/lab_options.h"

namespace CLI {
class App;
}

namespace vonkel::lab {

// Adds song, audio, terrain, play and replay to `app`. A parse of `app`
// sets `options`: the subcommand chosen and its options. A bad value ends
// the parse with a CLI::ValidationError that names the option.
void addSubcommands(CLI::App& app, LabOptions& options);

}  // namespace vonkel::lab
