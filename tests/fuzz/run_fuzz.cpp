// Arbitrary text as a run file: it reads, or is refused with one line that
// names a line (and the run is left as it was); a run that reads writes back
// to text that reads again equal; a short one replays to its end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lockstep/run_file.h"
#include "lockstep/run_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vonkel::lockstep;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Run untouched;
    untouched.seed = 99;
    untouched.keys = {{3, kKeyZ}};
    Run run = untouched;
    const std::string error = readRun(text, run);
    if (!error.empty()) {
        if (error.rfind("line ", 0) != 0 || error.find('\n') != std::string::npos) std::abort();
        if (!(run == untouched)) std::abort();
        return 0;
    }
    const std::string written = writeRun(run);
    Run again;
    if (!readRun(written, again).empty() || !(again == run) || writeRun(again) != written) std::abort();

    // The replay's work is bounded by the run's frames and blocks.
    if (run.frames > 100 || run.blocks.size() > 200) return 0;
    const int64_t frames = run.frames;
    const RunCheck check = playRun(std::move(run));
    if (check.picturesCompared > frames || check.picturesEqual > check.picturesCompared ||
        check.soundsEqual > check.soundsCompared || check.summary().empty()) {
        std::abort();
    }
    return 0;
}
