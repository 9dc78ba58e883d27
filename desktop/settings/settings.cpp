#include "desktop/settings/settings.h"

#include <ini.h>

#include <cstring>
#include <optional>

#include "lockstep/decimal.h"

namespace vonkel {
namespace {

struct Reading {
    std::string_view text;
    size_t position = 0;
    int line = 0;
    SettingsText result;

    void bad(int at, std::string problem) {
        ++result.badLines;
        if (result.badLine == 0 || at < result.badLine) {
            result.badLine = at;
            result.problem = std::move(problem);
        }
    }
};

bool hasControlCharacters(std::string_view line) {
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t' && c != '\r') || u == 0x7f) return true;
    }
    return false;
}

// libinih's line reader, over the text in memory: it counts the lines, so
// that a bad setting can be named by its line, and hands libinih a comment
// in place of a line it must not see (too long for its buffer, or with
// control characters).
char* readLine(char* buffer, int size, void* stream) {
    auto& r = *static_cast<Reading*>(stream);
    if (r.position >= r.text.size()) return nullptr;
    const size_t end = r.text.find('\n', r.position);
    const size_t stop = end == std::string_view::npos ? r.text.size() : end;
    const std::string_view line = r.text.substr(r.position, stop - r.position);
    r.position = stop + (end == std::string_view::npos ? 0 : 1);
    ++r.line;
    std::string_view handed = line;
    if (line.size() > kMaxSettingsLine || line.size() + 2 > static_cast<size_t>(size)) {
        r.bad(r.line, "the line is too long");
        handed = "#";
    } else if (hasControlCharacters(line)) {
        r.bad(r.line, "the line holds control characters");
        handed = "#";
    }
    std::memcpy(buffer, handed.data(), handed.size());
    buffer[handed.size()] = '\n';
    buffer[handed.size() + 1] = '\0';
    return buffer;
}

std::optional<int> number(std::string_view value, int low, int high) {
    const std::optional<int64_t> n = lockstep::readInteger(value, low, high);
    if (!n) return std::nullopt;
    return static_cast<int>(*n);
}

std::optional<bool> flag(std::string_view value) {
    if (value == "true" || value == "yes" || value == "on" || value == "1") return true;
    if (value == "false" || value == "no" || value == "off" || value == "0") return false;
    return std::nullopt;
}

// Applies one setting; the text of what is wrong with it, or empty.
std::string apply(Settings& s, std::string_view section, std::string_view name, std::string_view value) {
    // (Built piece by piece: GCC 12 warns falsely on "'" + a string.)
    std::string shown(1, '\'');
    shown += lockstep::printable(name, 40) + " = " + lockstep::printable(value, 40) + "'";
    if (section == "sound" && name == "volume") {
        const auto v = number(value, 0, 100);
        if (!v) return shown + ": the volume is a whole number 0..100";
        s.volume = *v;
    } else if (section == "sound" && name == "mute") {
        const auto v = flag(value);
        if (!v) return shown + ": expected true or false";
        s.mute = *v;
    } else if (section == "sound" && name == "device") {
        s.audioDevice = std::string(value);
    } else if (section == "sound" && name == "latency_ms") {
        const auto v = number(value, kMinLatencyMs, kMaxLatencyMs);
        if (!v) return shown + ": the latency is a whole number of milliseconds 10..500";
        s.audioLatencyMs = *v;
    } else if (section == "window" && name == "zoom") {
        const auto v = number(value, 1, 4);
        if (!v || *v == 3) return shown + ": the zoom is 1, 2 or 4";
        s.zoom = *v;
    } else if (section == "window" && name == "fullscreen") {
        const auto v = flag(value);
        if (!v) return shown + ": expected true or false";
        s.fullscreen = *v;
    } else {
        std::string unknown = "'[";
        unknown += lockstep::printable(section, 20) + "] " + lockstep::printable(name, 40) + "' is not a setting";
        return unknown;
    }
    return {};
}

int onSetting(void* user, const char* section, const char* name, const char* value) {
    auto& r = *static_cast<Reading*>(user);
    const std::string problem = apply(r.result.settings, section, name, value);
    if (problem.empty()) return 1;
    r.bad(r.line, problem);
    return 1;  // the line is counted here, not again by libinih
}

std::string flagText(bool value) { return value ? "true" : "false"; }

}  // namespace

SettingsText parseSettings(std::string_view text) {
    Reading reading;
    reading.text = text;
    // A byte-order mark is the editor's, not a setting's.
    if (reading.text.substr(0, 3) == "\xEF\xBB\xBF") reading.text.remove_prefix(3);
    const int syntax = ini_parse_stream(readLine, &reading, onSetting, &reading);
    if (syntax > 0) reading.bad(syntax, "expected '[section]' or 'name = value'");
    // A broken file is read whole: a setting that a bad line left out keeps
    // its default, every good one counts.
    return reading.result;
}

Settings settingsForRun(const Settings& file, const SettingsOverride& given) {
    Settings run = file;
    run.volume = given.volume.value_or(run.volume);
    run.mute = given.mute.value_or(run.mute);
    run.audioDevice = given.audioDevice.value_or(run.audioDevice);
    run.audioLatencyMs = given.audioLatencyMs.value_or(run.audioLatencyMs);
    run.zoom = given.zoom.value_or(run.zoom);
    run.fullscreen = given.fullscreen.value_or(run.fullscreen);
    return run;
}

std::string formatSettings(const Settings& s) {
    return "# vonkel's settings: written by the game when they change, read at its start.\n"
           "[sound]\n"
           "volume = " + std::to_string(s.volume) + "\n"
           "mute = " + flagText(s.mute) + "\n"
           "device = " + s.audioDevice + "\n"
           "latency_ms = " + std::to_string(s.audioLatencyMs) + "\n"
           "\n"
           "[window]\n"
           "zoom = " + std::to_string(s.zoom) + "\n"
           "fullscreen = " + flagText(s.fullscreen) + "\n";
}

std::string settingsWarning(const std::string& path, const SettingsText& parsed) {
    if (parsed.badLine == 0) return {};
    std::string line = "vonkel: " + path + ":" + std::to_string(parsed.badLine) + ": " + parsed.problem;
    if (parsed.badLines > 1) line += " (and " + std::to_string(parsed.badLines - 1) + " more bad lines)";
    line += "; the defaults stand for what is bad";
    return lockstep::printable(line, line.size());
}

}  // namespace vonkel
