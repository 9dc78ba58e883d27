#include "platform/audio_device_choice.h"

#include <cmath>

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

bool allDigits(std::string_view text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
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
    if (allDigits(query)) {
        const int index = std::stoi(std::string(query));
        for (const AudioDevice& d : devices) {
            if (d.index == index) return {Outcome::Found, index};
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
