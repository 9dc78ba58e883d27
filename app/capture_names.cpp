#include "app/capture_names.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vonkel {

std::string picturesFolderFrom(std::string_view userDirs, std::string_view home) {
    const std::string fallback = std::string(home) + "/Pictures";
    std::istringstream lines{std::string(userDirs)};
    for (std::string line; std::getline(lines, line);) {
        constexpr std::string_view kKey = "XDG_PICTURES_DIR=\"";
        if (!line.starts_with(kKey)) continue;
        const size_t end = line.rfind('"');
        if (end < kKey.size()) continue;
        std::string value = line.substr(kKey.size(), end - kKey.size());
        // The file's own rule: a path is absolute or starts with $HOME.
        if (value.starts_with("$HOME")) value = std::string(home) + value.substr(5);
        if (value.empty() || value.front() != '/') return fallback;
        return value;
    }
    return fallback;
}

std::string captureFolder(const std::string& chosen) {
    if (!chosen.empty()) return chosen;
    const char* home = std::getenv("HOME");
    const std::string homeDir = home != nullptr && home[0] != '\0' ? home : ".";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string configDir = config != nullptr && config[0] == '/' ? config : homeDir + "/.config";
    std::ifstream in(configDir + "/user-dirs.dirs");
    std::ostringstream text;
    text << in.rdbuf();
    return picturesFolderFrom(text.str(), homeDir) + "/vonkel";
}

std::string captureName(const std::tm& local, uint32_t songNumber, std::string_view extension, int attempt) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    // Appended piece by piece: GCC 12 warns falsely on "-" + a string.
    std::string name = "vonkel-";
    name += stamp;
    name += "-song-";
    name += std::to_string(songNumber);
    if (attempt > 1) {
        name += '-';
        name += std::to_string(attempt);
    }
    name += '.';
    name += extension;
    return name;
}

}  // namespace vonkel
