#include "tools/keys_script.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vonkel::lab {
namespace {

struct KeyName {
    std::string_view name;
    KeyBit bit;
    int scanCode;
};

constexpr std::array<KeyName, 7> kKeyNames{{
    {"up", kKeyUp, ScanCode::Up},
    {"down", kKeyDown, ScanCode::Down},
    {"left", kKeyLeft, ScanCode::Left},
    {"right", kKeyRight, ScanCode::Right},
    {"z", kKeyZ, ScanCode::Z},
    {"enter", kKeyEnter, ScanCode::Enter},
    {"escape", kKeyEscape, ScanCode::Escape},
}};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Shows a piece of the input in a message, printable and not too long.
std::string shown(std::string_view s) {
    std::string out;
    for (char c : s.substr(0, 40)) {
        const auto u = static_cast<unsigned char>(c);
        out += (u >= 0x20 && u < 0x7f) ? c : '?';
    }
    if (s.size() > 40) out += "...";
    return out;
}

std::string atLine(size_t line, const std::string& message) {
    return "line " + std::to_string(line) + ": " + message;
}

}  // namespace

int scanCodeOf(KeyBit bit) {
    for (const KeyName& k : kKeyNames) {
        if (k.bit == bit) return k.scanCode;
    }
    return -1;
}

uint8_t KeysScript::keysAt(int64_t frame) const {
    // The last change at or before the frame.
    auto it = std::upper_bound(changes_.begin(), changes_.end(), frame,
                               [](int64_t f, const KeyChange& c) { return f < c.frame; });
    if (it == changes_.begin()) return 0;
    return std::prev(it)->keys;
}

KeyState KeysScript::stateAt(int64_t frame) const {
    KeyState state;
    const uint8_t mask = keysAt(frame);
    for (const KeyName& k : kKeyNames) {
        if ((mask & k.bit) != 0) state.press(k.scanCode);
    }
    return state;
}

std::string parseKeysScript(std::string_view text, KeysScript& script) {
    std::vector<KeyChange> changes;
    size_t lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        ++lineNumber;
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;

        if (line.empty() || line.front() == '#') continue;
        if (line.find('\0') != std::string_view::npos) {
            return atLine(lineNumber, "contains a NUL byte");
        }

        // FRAME: decimal digits only.
        size_t digits = 0;
        while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
        if (digits == 0) {
            if (line.front() == '-' && line.size() > 1 && line[1] >= '0' && line[1] <= '9') {
                return atLine(lineNumber, "frame number must not be negative");
            }
            return atLine(lineNumber, "expected 'FRAME KEYS', got '" + shown(line) + "'");
        }
        int64_t frame = 0;
        for (size_t i = 0; i < digits; ++i) {
            frame = frame * 10 + (line[i] - '0');
            if (frame > kMaxFrameIndex) {
                return atLine(lineNumber,
                              "frame number too large (at most " + std::to_string(kMaxFrameIndex) + ")");
            }
        }
        if (digits < line.size() && !isBlank(line[digits])) {
            return atLine(lineNumber, "bad frame number '" + shown(line.substr(0, line.find_first_of(" \t"))) + "'");
        }
        if (!changes.empty() && frame <= changes.back().frame) {
            return atLine(lineNumber, "frame " + std::to_string(frame) + " does not follow frame " +
                                          std::to_string(changes.back().frame) + " (frames must increase)");
        }

        const std::string_view keys = trim(line.substr(digits));
        if (keys.empty()) return atLine(lineNumber, "missing keys after frame " + std::to_string(frame) + " (use '-' for none)");

        uint8_t mask = 0;
        if (keys != "-") {
            size_t itemStart = 0;
            while (true) {
                size_t comma = keys.find(',', itemStart);
                const bool last = comma == std::string_view::npos;
                if (last) comma = keys.size();
                const std::string_view item = trim(keys.substr(itemStart, comma - itemStart));
                if (item.empty()) return atLine(lineNumber, "empty item in key list '" + shown(keys) + "'");
                const auto known = std::find_if(kKeyNames.begin(), kKeyNames.end(),
                                                [&](const KeyName& k) { return k.name == item; });
                if (known == kKeyNames.end()) {
                    return atLine(lineNumber, "unknown key '" + shown(item) +
                                                  "' (keys: up, down, left, right, z, enter, escape, or -)");
                }
                if ((mask & known->bit) != 0) return atLine(lineNumber, "key '" + shown(item) + "' listed twice");
                mask = static_cast<uint8_t>(mask | known->bit);
                if (last) break;
                itemStart = comma + 1;
            }
        }
        changes.push_back({frame, mask});
    }
    script.changes_ = std::move(changes);
    return {};
}

}  // namespace vonkel::lab
