#pragma once
// The files of a lab run as a whole: the key script or run file it reads
// (bounded, and interruptible by a stop signal) and the outputs it writes, which must not
// meet (judged by where they land, not by how they are spelled).
#include <cstdint>
#include <optional>
#include <string>

namespace vonkel::lab {

// The largest key script read: a script of every frame of the longest run
// takes about 100 MB.
constexpr int64_t kMaxKeysBytes = int64_t{256} << 20;

// Reads a whole input file into `text`. Returns an empty string or a
// message: not a file, unreadable, larger than `limit`, out of memory, or
// stopped by a signal.
std::string readInputFile(const std::string& path, std::string& text, int64_t limit = kMaxKeysBytes);
// The same for standard input, up to its end.
std::string readStandardInput(std::string& text, int64_t limit);

struct RunFiles {
    std::optional<std::string> keys{};   // read
    std::optional<std::string> replayed{};  // read: replay's run file ("-": standard input)
    std::optional<std::string> out{};    // written: audio's --out
    std::optional<std::string> trace{};  // written
    std::optional<std::string> wav{};    // written
    std::optional<std::string> video{};  // written
    std::optional<std::string> run{};    // written: play's --run
    std::optional<std::string> shots{};  // a folder that receives frame-NNNNNN.png
};

// Why two of the files would meet (the same file, standard output twice, an
// output where the key script or the replayed run is, or a picture of
// --shots), or an empty string. /dev/null takes any number of outputs.
std::string filesMeet(const RunFiles& files);

}  // namespace vonkel::lab
