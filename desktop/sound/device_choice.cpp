#include "desktop/sound/device_choice.h"

#include <cmath>

#include "lockstep/decimal.h"

namespace vonkel {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool containsInAnyCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) return false;
    for (size_t start = 0; start + part.size() <= text.size(); ++start) {
        size_t i = 0;
        while (i < part.size() && lower(text[start + i]) == lower(part[i])) ++i;
        if (i == part.size()) return true;
    }
    return false;
}

}  // namespace

DeviceChoice chooseDevice(const std::vector<AudioDevice>& devices, std::string_view query) {
    using Outcome = DeviceChoice::Outcome;
    if (query.empty()) {
        for (const AudioDevice& d : devices) {
            if (d.isDefault) return {Outcome::Found, d.index};
        }
        return {};
    }
    // An index is read as every number the player types is: "00" and "+1"
    // are names, not indexes.
    if (const auto index = lockstep::readInteger(query, 0, 1'000'000)) {
        for (const AudioDevice& d : devices) {
            if (d.index == *index) return {Outcome::Found, d.index};
        }
        return {};
    }
    for (const AudioDevice& d : devices) {
        if (d.name == query) return {Outcome::Found, d.index};
    }
    DeviceChoice found;
    for (const AudioDevice& d : devices) {
        if (!containsInAnyCase(d.name, query)) continue;
        if (found.outcome == Outcome::Found) return {Outcome::Ambiguous, -1};
        found = {Outcome::Found, d.index};
    }
    return found;
}

std::string deviceLine(const AudioDevice& device) {
    std::string line = std::to_string(device.index) + '\t' + device.hostApi + '\t' + device.name + '\t' +
                       std::to_string(std::lround(device.defaultRate)) + " Hz";
    if (device.isDefault) line += "\tdefault";
    return line;
}

std::string deviceList(const std::vector<AudioDevice>& devices) {
    if (devices.empty()) return "no audio output device\n";
    std::string text;
    for (const AudioDevice& d : devices) text += deviceLine(d) + '\n';
    return text;
}

}  // namespace vonkel
