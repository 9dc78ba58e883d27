#include "lockstep/key_script.h"

#include <algorithm>
#include <array>
#include <utility>

#include "lockstep/decimal.h"

namespace vonkel::lockstep {
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

std::string atLine(size_t line, const std::string& message) {
    return "line " + std::to_string(line) + ": " + message;
}

// Why the first word of a line is not a frame number.
std::string frameProblem(std::string_view word, std::string_view line) {
    const bool digitFirst = !word.empty() && word.front() >= '0' && word.front() <= '9';
    if (word.size() > 1 && word.front() == '-' && word[1] >= '0' && word[1] <= '9') {
        return "frame number must not be negative";
    }
    if (digitFirst && word.front() != '0' && word.find_first_not_of("0123456789") == std::string_view::npos) {
        return "frame number too large (at most " + std::to_string(kMaxFrameIndex) + ")";
    }
    if (digitFirst) return "bad frame number '" + printable(word, 40) + "' (plain decimal digits, no leading zero)";
    return "expected 'FRAME KEYS', got '" + printable(line, 40) + "'";
}

// One trimmed, non-comment line: FRAME KEYS.
std::string parseKeysLine(std::string_view line, KeyChange& change) {
    if (line.find('\0') != std::string_view::npos) return "contains a NUL byte";
    const size_t blank = std::min(line.find_first_of(" \t"), line.size());
    const std::string_view word = line.substr(0, blank);
    const auto frame = readInteger(word, 0, kMaxFrameIndex);
    if (!frame) return frameProblem(word, line);
    change.frame = *frame;
    const std::string_view keys = trim(line.substr(blank));
    if (keys.empty()) return "missing keys after frame " + std::to_string(*frame) + " (use '-' for none)";
    return parseKeyList(keys, change.keys);
}

}  // namespace

KeyState keyStateOf(uint32_t mask) {
    KeyState state;
    for (const KeyName& k : kKeyNames) {
        if ((mask & k.bit) != 0) state.press(k.scanCode);
    }
    return state;
}

uint8_t keyMaskOf(const KeyState& state) {
    uint8_t mask = 0;
    for (const KeyName& k : kKeyNames) {
        if (state.isKeyDown(k.scanCode)) mask = static_cast<uint8_t>(mask | k.bit);
    }
    return mask;
}

std::string parseKeyList(std::string_view keys, uint8_t& mask) {
    mask = 0;
    if (keys == "-") return {};
    for (size_t itemStart = 0;;) {
        size_t comma = keys.find(',', itemStart);
        const bool last = comma == std::string_view::npos;
        if (last) comma = keys.size();
        const std::string_view item = trim(keys.substr(itemStart, comma - itemStart));
        if (item.empty()) return "empty item in key list '" + printable(keys, 40) + "'";
        const auto known =
            std::find_if(kKeyNames.begin(), kKeyNames.end(), [&](const KeyName& k) { return k.name == item; });
        if (known == kKeyNames.end()) {
            return "unknown key '" + printable(item, 40) + "' (keys: up, down, left, right, z, enter, escape, or -)";
        }
        if ((mask & known->bit) != 0) return "key '" + printable(item, 40) + "' listed twice";
        mask = static_cast<uint8_t>(mask | known->bit);
        if (last) return {};
        itemStart = comma + 1;
    }
}

std::string keyListText(uint8_t mask) {
    std::string text;
    for (const KeyName& k : kKeyNames) {
        if ((mask & k.bit) == 0) continue;
        if (!text.empty()) text += ',';
        text += k.name;
    }
    return text.empty() ? "-" : text;
}

uint8_t KeysScript::keysAt(int64_t frame) const {
    // The last change at or before the frame.
    auto it = std::upper_bound(changes_.begin(), changes_.end(), frame,
                               [](int64_t f, const KeyChange& c) { return f < c.frame; });
    if (it == changes_.begin()) return 0;
    return std::prev(it)->keys;
}

std::string parseKeysScript(std::string_view text, KeysScript& script) {
    std::vector<KeyChange> changes;
    size_t lineNumber = 0;
    for (size_t pos = 0; pos < text.size();) {
        ++lineNumber;
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == '#') continue;

        KeyChange change;
        if (std::string error = parseKeysLine(line, change); !error.empty()) return atLine(lineNumber, error);
        if (!changes.empty() && change.frame <= changes.back().frame) {
            return atLine(lineNumber, "frame " + std::to_string(change.frame) + " does not follow frame " +
                                          std::to_string(changes.back().frame) + " (frames must increase)");
        }
        changes.push_back(change);
    }
    script.changes_ = std::move(changes);
    return {};
}

}  // namespace vonkel::lockstep
