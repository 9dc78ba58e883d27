#include "lockstep/run_file.h"

#include <algorithm>
#include <array>
#include <utility>

#include "lockstep/decimal.h"

namespace vonkel::lockstep {
namespace {

constexpr std::string_view kBase64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// The lines of a run in their order; key, block, picture and sound repeat.
enum Rank : int { kVersion, kSeed, kFrom, kClock, kFrames, kQuit, kKey, kBlock, kPicture, kSound, kEnd, kRanks };
constexpr std::array<std::string_view, kRanks> kKeywords{"vonkel-run", "seed",  "from",    "clock", "frames", "quit",
                                                          "key",        "block", "picture", "sound", "end"};

bool repeats(int rank) { return rank == kKey || rank == kBlock || rank == kPicture || rank == kSound; }

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}

// 'text', quoted in a message.
std::string quoted(std::string_view text) {
    std::string out = "'";
    out += text;
    out += '\'';
    return out;
}

std::string atLine(size_t line, const std::string& message) {
    return "line " + std::to_string(line) + ": " + message;
}

// One base64url text spread over lines, decoded as it comes.
class Base64Text {
public:
    std::string add(std::string_view payload, size_t line) {
        if (payload.empty() || payload.size() > kRunLineChars) {
            return "1 to " + std::to_string(kRunLineChars) + " base64 characters expected, got " +
                   std::to_string(payload.size());
        }
        starts_.push_back({chars_, line});
        lastLine = line;
        for (char c : payload) {
            const int value = base64Value(c);
            if (value < 0) return quoted(printable(std::string_view(&c, 1))) + " is not a base64url character";
            group_ = group_ << 6 | static_cast<uint32_t>(value);
            if (++groupChars_ == 4) {
                bytes.push_back(static_cast<char>(group_ >> 16));
                bytes.push_back(static_cast<char>(group_ >> 8));
                bytes.push_back(static_cast<char>(group_));
                group_ = 0;
                groupChars_ = 0;
            }
        }
        chars_ += payload.size();
        return {};
    }

    // The last two or three characters make one or two bytes.
    std::string finish() {
        if (groupChars_ == 1) return "the base64 text ends with a lone character";
        const int unusedBits = groupChars_ == 2 ? 4 : 2;
        if (groupChars_ > 1 && (group_ & ((1u << unusedBits) - 1)) != 0) {
            return "the base64 text's last character has bits set past its end";
        }
        if (groupChars_ >= 2) bytes.push_back(static_cast<char>(group_ >> (groupChars_ * 6 - 8)));
        if (groupChars_ == 3) bytes.push_back(static_cast<char>(group_ >> 2));
        group_ = 0;
        groupChars_ = 0;
        return {};
    }

    // The line that holds the first character of byte `offset`.
    size_t lineOf(size_t offset) const {
        const size_t character = offset / 3 * 4 + offset % 3;
        auto it = std::upper_bound(starts_.begin(), starts_.end(), character,
                                   [](size_t c, const std::pair<size_t, size_t>& s) { return c < s.first; });
        return it == starts_.begin() ? lastLine : std::prev(it)->second;
    }

    std::string bytes;
    size_t lastLine = 0;

private:
    std::vector<std::pair<size_t, size_t>> starts_;  // (first character, line) of each line
    size_t chars_ = 0;
    uint32_t group_ = 0;
    int groupChars_ = 0;
};

enum class Varint { Ok, PastEnd, TooLong };

Varint readVarint(std::string_view bytes, size_t& pos, uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 70; shift += 7) {
        if (pos >= bytes.size()) return Varint::PastEnd;
        const auto byte = static_cast<uint8_t>(bytes[pos++]);
        if (shift == 63 && (byte & 0x7F) > 1) return Varint::TooLong;
        value |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) return Varint::Ok;
    }
    return Varint::TooLong;
}

void appendVarint(std::string& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

std::vector<uint32_t> wordsOf(std::string_view bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    for (size_t k = 0; k < words.size(); ++k) {
        uint32_t word = 0;
        for (int b = 3; b >= 0; --b) word = word << 8 | static_cast<uint8_t>(bytes[4 * k + static_cast<size_t>(b)]);
        words[k] = word;
    }
    return words;
}

class RunReader {
public:
    std::string read(std::string_view text, Run& out) {
        size_t pos = 0;
        while (pos < text.size()) {
            ++line_;
            size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) end = text.size();
            std::string_view content = text.substr(pos, end - pos);
            pos = end + 1;
            if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
            if (content.empty() || content.front() == '#') continue;
            if (std::string error = readLine(content); !error.empty()) return atLine(line_, error);
            if (last_ == kEnd) {
                if (pos < text.size()) return atLine(line_ + 1, "text after 'end'");
                out = std::move(run_);
                return {};
            }
        }
        if (last_ < 0) return atLine(std::max<size_t>(line_, 1), "not a vonkel run (no 'vonkel-run' line)");
        return atLine(line_ + 1, "the run is cut short (no 'end' line)");
    }

private:
    std::string readLine(std::string_view content) {
        for (char c : content) {
            if (c < 0x20 || c > 0x7e) return "a character that is not printable ASCII";
        }
        const size_t blank = content.find(' ');
        const std::string_view keyword = content.substr(0, blank);
        const bool hasValue = blank != std::string_view::npos;
        const std::string_view value = hasValue ? content.substr(blank + 1) : std::string_view{};

        if (last_ < 0) return readVersion(keyword, value);
        const auto found = std::find(kKeywords.begin(), kKeywords.end(), keyword);
        if (keyword.empty()) return "a line must not start with a blank";
        if (found == kKeywords.end()) return "unknown keyword " + quoted(printable(keyword, 20));
        const int rank = static_cast<int>(found - kKeywords.begin());
        if (rank < last_ || (rank == last_ && !repeats(rank))) {
            if (seen_[static_cast<size_t>(rank)] && !repeats(rank)) return "a second " + quoted(keyword) + " line";
            return quoted(keyword) + " is out of order (vonkel-run, seed, from, clock, frames, quit, key, block, "
                   "picture, sound, end)";
        }
        if (rank != last_) {
            if (std::string error = closeSection(last_); !error.empty()) return error;
            if (rank >= kKey && last_ < kKey) {
                for (int required : {kSeed, kFrom, kFrames}) {
                    if (!seen_[static_cast<size_t>(required)]) {
                        return "the run has no " + quoted(kKeywords[static_cast<size_t>(required)]) + " line";
                    }
                }
            }
        }
        last_ = rank;
        seen_[static_cast<size_t>(rank)] = true;
        const bool takesValue = rank != kQuit && rank != kEnd;
        if (takesValue != hasValue) {
            return quoted(keyword) + (takesValue ? " needs a value" : " takes no value");
        }
        return readValue(rank, value);
    }

    std::string readVersion(std::string_view keyword, std::string_view value) {
        const auto version = readUnsigned32(value);
        if (keyword != kKeywords[kVersion] || !version) return "not a vonkel run (it must begin 'vonkel-run 1')";
        if (*version != kRunVersion) {
            return "this run is version " + std::to_string(*version) + "; this vonkel reads version " +
                   std::to_string(kRunVersion);
        }
        last_ = kVersion;
        seen_[kVersion] = true;
        return {};
    }

    std::string readValue(int rank, std::string_view value) {
        switch (rank) {
            case kSeed: {
                const auto seed = readUnsigned32(value);
                if (!seed) return "bad seed '" + printable(value, 20) + "' (0 to 4294967295, plain decimal)";
                run_.seed = *seed;
                return {};
            }
            case kFrom:
                if (value.empty() || value.size() > kMaxRunFromChars || runFromText(value) != value) {
                    return "'from' needs 1 to 100 printable characters, single blanks between words";
                }
                run_.from = value;
                return {};
            case kClock: {
                const auto clock = readUnsigned32(value);
                if (!clock) return "bad clock '" + printable(value, 20) + "' (0 to 4294967295, plain decimal)";
                run_.clock = *clock;
                return {};
            }
            case kFrames: {
                const auto frames = readInteger(value, 1, kMaxFrameIndex + 1);
                if (!frames) {
                    return "bad frame count '" + printable(value, 20) + "' (1 to " + std::to_string(kMaxFrameIndex + 1) +
                           ")";
                }
                run_.frames = *frames;
                return {};
            }
            case kQuit:
                run_.quit = true;
                return {};
            case kKey:
                return readKey(value);
            case kBlock:
                if (run_.clock) return "a run with a clock has no 'block' lines";
                return schedule_.add(value, line_);
            case kPicture:
                return pictures_.add(value, line_);
            case kSound:
                return sounds_.add(value, line_);
            default:  // kEnd
                return {};
        }
    }

    std::string readKey(std::string_view value) {
        const size_t blank = value.find(' ');
        if (blank == std::string_view::npos) return "'key' needs a frame and keys";
        const std::string_view frameText = value.substr(0, blank);
        const std::string_view keysText = value.substr(blank + 1);
        const auto frame = readInteger(frameText, 0, run_.frames - 1);
        if (!frame) {
            return "bad key frame '" + printable(frameText, 20) + "' (0 to " + std::to_string(run_.frames - 1) +
                   ", the run's last frame)";
        }
        if (!run_.keys.empty() && *frame <= run_.keys.back().frame) {
            return "key frame " + std::to_string(*frame) + " does not follow frame " +
                   std::to_string(run_.keys.back().frame);
        }
        if (keysText.find(' ') != std::string_view::npos) return "blanks in the key list '" + printable(keysText, 40) + "'";
        KeyChange change{*frame, 0};
        if (std::string error = parseKeyList(keysText, change.keys); !error.empty()) return error;
        run_.keys.push_back(change);
        return {};
    }

    // Ends a block, picture or sound text before the next kind of line;
    // its errors are the last line's of that text.
    std::string closeSection(int rank) {
        if (rank == kBlock) return closeSchedule();
        if (rank == kPicture) {
            if (std::string error = closeWords(pictures_, run_.pictures, "picture"); !error.empty()) return error;
            if (static_cast<int64_t>(run_.pictures.size()) != run_.frames) {
                line_ = pictures_.lastLine;
                return std::to_string(run_.pictures.size()) + " picture digests for " + std::to_string(run_.frames) +
                       " frames";
            }
        }
        if (rank == kSound) {
            if (std::string error = closeWords(sounds_, run_.sounds, "sound"); !error.empty()) return error;
            if (!run_.clock && run_.sounds.size() != run_.blocks.size()) {
                line_ = sounds_.lastLine;
                return std::to_string(run_.sounds.size()) + " sound digests for " +
                       std::to_string(run_.blocks.size()) + " blocks";
            }
        }
        return {};
    }

    std::string closeWords(Base64Text& text, std::vector<uint32_t>& words, const char* what) {
        std::string error = text.finish();
        if (error.empty() && text.bytes.size() % 4 != 0) {
            error = std::string(what) + " digests of " + std::to_string(text.bytes.size()) +
                    " bytes (4 bytes each)";
        }
        if (!error.empty()) {
            line_ = text.lastLine;
            return error;
        }
        words = wordsOf(text.bytes);
        text.bytes = std::string();
        return {};
    }

    std::string closeSchedule() {
        if (std::string error = schedule_.finish(); !error.empty()) {
            line_ = schedule_.lastLine;
            return error;
        }
        const std::string_view bytes = schedule_.bytes;
        const int64_t lastStep = run_.frames + 1;
        int64_t step = 0;
        uint32_t clockMs = 0;
        size_t pos = 0;
        const auto fail = [&](size_t at, const std::string& message) {
            line_ = schedule_.lineOf(at);
            return "block " + std::to_string(run_.blocks.size()) + ": " + message;
        };
        while (pos < bytes.size()) {
            const size_t start = pos;
            uint64_t values[3] = {0, kBlockFrames, 0};  // v, frames, clockDelta
            for (int k = 0; k < 3; ++k) {
                if (k == 1 && (values[0] & 1) == 0) continue;
                const size_t at = pos;
                const Varint read = readVarint(bytes, pos, values[k]);
                if (read == Varint::PastEnd) {
                    line_ = schedule_.lastLine;
                    return "block " + std::to_string(run_.blocks.size()) + ": the schedule ends inside its record";
                }
                if (read == Varint::TooLong) return fail(at, "a number over 64 bits");
            }
            const uint64_t stepDelta = values[0] >> 2;
            if (stepDelta > static_cast<uint64_t>(lastStep - step)) {
                return fail(start, "its step is past the run's last step, " + std::to_string(lastStep));
            }
            if (values[1] < 1 || values[1] > static_cast<uint64_t>(kMaxScheduledBlockFrames)) {
                return fail(start, "it has " + std::to_string(values[1]) + " frames (1 to " +
                                       std::to_string(kMaxScheduledBlockFrames) + ")");
            }
            if (values[2] > 0xFFFFFFFFu) return fail(start, "its clock step is over 32 bits");
            step += static_cast<int64_t>(stepDelta);
            clockMs += static_cast<uint32_t>(values[2]);
            run_.blocks.push_back(ScheduledBlock{clockMs, static_cast<int32_t>(values[1]), step, (values[0] & 2) != 0});
        }
        schedule_.bytes = std::string();
        return {};
    }

    Run run_;
    size_t line_ = 0;
    int last_ = -1;  // the rank of the last line read
    std::array<bool, kRanks> seen_{};
    Base64Text schedule_, pictures_, sounds_;
};

// Appends "KEYWORD B64" lines of `count` bytes, byteAt(k) giving byte k.
template <class ByteAt>
void appendSection(std::string& out, std::string_view keyword, size_t count, ByteAt byteAt) {
    constexpr size_t kLineBytes = kRunLineChars / 4 * 3;
    for (size_t lineStart = 0; lineStart < count; lineStart += kLineBytes) {
        const size_t lineEnd = std::min(count, lineStart + kLineBytes);
        out += keyword;
        out += ' ';
        for (size_t k = lineStart; k < lineEnd; k += 3) {
            const size_t n = std::min<size_t>(3, lineEnd - k);
            uint32_t group = 0;
            for (size_t b = 0; b < 3; ++b) group = group << 8 | (b < n ? byteAt(k + b) : 0u);
            for (size_t c = 0; c <= n; ++c) out += kBase64Alphabet[(group >> (18 - 6 * c)) & 63];
        }
        out += '\n';
    }
}

void appendWords(std::string& out, std::string_view keyword, std::span<const uint32_t> words) {
    appendSection(out, keyword, words.size() * 4,
                  [words](size_t k) { return static_cast<uint8_t>(words[k / 4] >> (8 * (k % 4))); });
}

}  // namespace

std::string readRun(std::string_view text, Run& run) {
    if (text.size() > kMaxRunBytes) return "larger than 16 MiB: not a run this vonkel reads";
    return RunReader().read(text, run);
}

void ScheduleEncoder::add(std::string& stream, const ScheduledBlock& block) {
    const bool odd = block.frames != kBlockFrames;
    appendVarint(stream, static_cast<uint64_t>(block.step - step_) << 2 | (block.overlapped ? 2u : 0u) | (odd ? 1u : 0u));
    if (odd) appendVarint(stream, static_cast<uint64_t>(block.frames));
    appendVarint(stream, static_cast<uint32_t>(block.clockMs - clockMs_));
    step_ = block.step;
    clockMs_ = block.clockMs;
}

size_t runSectionChars(size_t bytes, size_t keywordChars) {
    const size_t chars = bytes / 3 * 4 + (bytes % 3 == 0 ? 0 : bytes % 3 + 1);
    const size_t lines = (chars + kRunLineChars - 1) / kRunLineChars;
    return chars + lines * (keywordChars + 2);
}

std::string writeRunParts(const RunParts& parts) {
    std::string out;
    out.reserve(256 + parts.keys.size() * 48 + runSectionChars(parts.schedule.size(), 5) +
                runSectionChars(parts.pictures.size() * 4, 7) + runSectionChars(parts.sounds.size() * 4, 5));
    out += "vonkel-run " + std::to_string(kRunVersion) + "\n";
    out += "seed " + std::to_string(parts.seed) + "\n";
    out += "from " + runFromText(parts.from) + "\n";
    if (parts.clock) out += "clock " + std::to_string(*parts.clock) + "\n";
    out += "frames " + std::to_string(parts.frames) + "\n";
    if (parts.quit) out += "quit\n";
    for (const KeyChange& change : parts.keys) {
        out += "key " + std::to_string(change.frame) + " " + keyListText(change.keys) + "\n";
    }
    const std::string_view schedule = parts.schedule;
    appendSection(out, "block", schedule.size(), [schedule](size_t k) { return static_cast<uint8_t>(schedule[k]); });
    appendWords(out, "picture", parts.pictures);
    appendWords(out, "sound", parts.sounds);
    out += "end\n";
    return out;
}

std::string writeRun(const Run& run) {
    std::string schedule;
    ScheduleEncoder encoder;
    for (const ScheduledBlock& block : run.blocks) encoder.add(schedule, block);
    return writeRunParts(RunParts{.seed = run.seed,
                                  .from = run.from,
                                  .clock = run.clock,
                                  .frames = run.frames,
                                  .quit = run.quit,
                                  .keys = run.keys,
                                  .schedule = schedule,
                                  .pictures = run.pictures,
                                  .sounds = run.sounds});
}

std::string runFromText(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (out.size() == kMaxRunFromChars) break;
        const auto u = static_cast<unsigned char>(c);
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (blank) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += (u >= 0x20 && u < 0x7f) ? c : '?';
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out.empty() ? "unknown" : out;
}

KeysScript keysScriptOf(const Run& run) { return KeysScript(run.keys); }

}  // namespace vonkel::lockstep
