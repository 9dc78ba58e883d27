#include "web/page_runs.h"

#include <cstdio>
#include <functional>

#include "lockstep/decimal.h"
#include "lockstep/key_script.h"

namespace vonkel::web {
namespace {

constexpr std::string_view kKeyLine = "key ";

// Copies `text` line by line (each with its LF), handing the frame of each
// key line to `frame`, which returns the number written in its place; a
// key line whose frame is not a frame number is copied as it is.
std::string rewriteKeyFrames(std::string_view text, const std::function<int64_t(int64_t)>& frame) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = end == std::string_view::npos ? text.size() : end + 1;
        const std::string_view line = text.substr(pos, end - pos);
        pos = end;
        const size_t blank = line.find(' ', kKeyLine.size());
        const auto number = line.starts_with(kKeyLine) && blank != std::string_view::npos
                                ? lockstep::readInteger(line.substr(kKeyLine.size(), blank - kKeyLine.size()), 0,
                                                        lockstep::kMaxFrameIndex)
                                : std::nullopt;
        if (!number) {
            out += line;
            continue;
        }
        out += kKeyLine;
        out += std::to_string(frame(*number));
        out += line.substr(blank);
    }
    return out;
}

std::string seconds(int64_t samples) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(samples) / kSampleRate);
    return text;
}

}  // namespace

std::string linkTextOf(std::string_view runText) {
    int64_t previous = 0;
    return rewriteKeyFrames(runText, [&](int64_t frame) {
        const int64_t difference = frame - previous;
        previous = frame;
        return difference;
    });
}

std::string runTextOfLink(std::string_view linkText) {
    int64_t frame = 0;  // 16 MiB hold at most 2.1 million key lines of 9999999: no overflow
    return rewriteKeyFrames(linkText, [&](int64_t difference) { return frame += difference; });
}

std::string pageReadsRun(std::string_view text) {
    constexpr std::string_view kBlockLine = "block ";
    size_t chars = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        if (line.starts_with(kBlockLine)) chars += line.size() - kBlockLine.size();
        pos = end + 1;
    }
    if (chars / 4 * 3 <= kMaxPageScheduleBytes) return {};
    return "its schedule (the 'block' lines) is over " + std::to_string(kMaxPageScheduleBytes >> 20) +
           " MiB: more than this page reads";
}

std::string pagePlaysRun(const lockstep::Run& run) {
    size_t first = 0;
    while (first < run.blocks.size()) {
        const int64_t step = run.blocks[first].step;
        size_t last = first;
        int64_t samples = 0;
        while (last < run.blocks.size() && run.blocks[last].step == step) samples += run.blocks[last++].frames;
        const auto blocks = static_cast<int64_t>(last - first);
        if (blocks > kMaxBlocksAtOnce || samples > kMaxSamplesAtOnce) {
            const std::string where = step == 0             ? "before the game starts"
                                      : step > run.frames ? "after the last frame"
                                                          : "before frame " + std::to_string(step - 1);
            return std::to_string(blocks) + " sound blocks (" + seconds(samples) + ") " + where +
                   ": more than this page renders between two frames (" + std::to_string(kMaxBlocksAtOnce) +
                   " blocks, " + seconds(kMaxSamplesAtOnce) + ")";
        }
        first = last;
    }
    return {};
}

}  // namespace vonkel::web
