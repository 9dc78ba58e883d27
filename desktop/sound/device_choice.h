#pragma once
// Which output device a player means: by index, by exact name, or by a part
// of a name that only one device has. Pure: needs no audio library.
#include <string>
#include <string_view>
#include <vector>

namespace vonkel {

struct AudioDevice {
    int index = 0;          // the audio library's device index
    std::string hostApi;    // e.g. "ALSA"
    std::string name;
    double defaultRate = 0; // samples per second
    bool isDefault = false; // the library's default output
};

struct DeviceChoice {
    enum class Outcome { Found, Unknown, Ambiguous };
    Outcome outcome = Outcome::Unknown;
    int index = -1;  // for Found: the device's index
};

// `query` as a whole number (read as every number a player types:
// lockstep/decimal.h) is an index among `devices`; otherwise the first
// device with exactly that name, else the one device whose name contains it
// in any case. An empty query is the default device.
DeviceChoice chooseDevice(const std::vector<AudioDevice>& devices, std::string_view query);

// One line for --list-audio-devices, without the newline: index, host API,
// name, default rate and, for the default device, "default", separated by
// tabs.
std::string deviceLine(const AudioDevice& device);

// The lines of every device, each ending in a newline, or a line saying
// there is none.
std::string deviceList(const std::vector<AudioDevice>& devices);

}  // namespace vonkel
