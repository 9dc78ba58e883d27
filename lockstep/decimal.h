#pragma once
// The one reader of numbers typed by a user, on the command line and in key
// scripts: plain decimal text, [-]DIGITS[.DIGITS][e[+-]DIGITS], with no
// blanks, no '+', no hex and no leading zeros (so "010" is never mistaken
// for octal or for ten). Each reader below takes only the parts that make
// sense for its kind of number and returns nullopt for anything else.
// And the one way to echo such text back in a message.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vonkel::lockstep {

constexpr int64_t kMaxSeconds = 3600;  // length of one `audio` export

// An integer in [min, max]: no point, no exponent, a '-' only when min < 0.
std::optional<int64_t> readInteger(std::string_view text, int64_t min, int64_t max);
std::optional<uint32_t> readUnsigned32(std::string_view text);
// A finite 32-bit float, rounded once from the decimal text (an exponent is
// allowed, as printed by most languages for very small or large values).
std::optional<float> readFloat32(std::string_view text);
// Seconds without sign or exponent (e.g. "2", "0.5", ".25"),
// 0 < S <= kMaxSeconds, turned exactly into the number of 512-frame blocks
// ceil(S x 44100 / 512).
std::optional<int64_t> readSecondsAsBlocks(std::string_view text);

// What a user typed or named (an argument, a line of a file, a path, a
// device), made safe to print on one line: control characters escaped as
// \n, \t or \xHH, everything else as it is (UTF-8 included), cut after
// `limit` bytes with "..." added. Printable text comes back unchanged, so a
// whole message may go through it again.
std::string printable(std::string_view text, size_t limit = 60);

}  // namespace vonkel::lockstep
