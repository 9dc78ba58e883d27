#include "app/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vonkel {
namespace {

constexpr size_t kMaxFileBytes = 64 * 1024;

std::string errorText(int error) { return std::strerror(error); }

// Makes every missing folder of `path`'s parent, private to the user as
// the XDG rules ask.
bool makeParents(const std::string& path, std::string& problem) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "cannot make " + folder + ": " + errorText(errno);
            return false;
        }
    }
    return true;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string settingsPath(const char* xdgConfigHome, const char* home) {
    std::string base;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        base = xdgConfigHome;
    } else if (home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/vonkel/vonkel.conf";
}

SettingsRead readSettingsFile(const std::string& path) {
    SettingsRead read;
    // Non-blocking: a FIFO in the file's place must not stop the game.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        // No file there (a plain file in place of a folder on its path leaves
        // none either): the defaults, silently.
        if (errno != ENOENT && errno != ENOTDIR) read.warning = "vonkel: cannot read " + path + ": " + errorText(errno) + "; using the defaults";
        return read;
    }
    struct stat info {};
    std::string text;
    std::string problem;
    if (fstat(fd, &info) != 0) {
        problem = errorText(errno);
    } else if (!S_ISREG(info.st_mode)) {
        problem = S_ISDIR(info.st_mode) ? "a folder, not a file" : "not a plain file";
    } else if (static_cast<size_t>(info.st_size) > kMaxFileBytes) {
        problem = "larger than 64 KiB";
    } else {
        std::vector<char> buffer(kMaxFileBytes + 1);
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) problem = errorText(errno);
            if (n > 0 && text.size() + static_cast<size_t>(n) > kMaxFileBytes) problem = "larger than 64 KiB";
            if (n <= 0 || !problem.empty()) break;
            text.append(buffer.data(), static_cast<size_t>(n));
        }
    }
    close(fd);
    if (!problem.empty()) {
        read.warning = "vonkel: cannot read " + path + ": " + problem + "; using the defaults";
        return read;
    }
    const SettingsText parsed = parseSettings(text);
    read.settings = parsed.settings;
    read.warning = settingsWarning(path, parsed);
    return read;
}

namespace {

bool writeWholeFile(const std::string& path, const Settings& settings, std::string& problem) {
    if (!makeParents(path, problem)) return false;
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        problem = "cannot write in its folder: " + errorText(errno);
        return false;
    }
    // Synced before the rename: after a crash the name holds the old text
    // or the whole new one.
    const bool written = writeAll(fd, formatSettings(settings)) && fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = close(fd) == 0;
    if (!written || !closed) {
        problem = errorText(written ? errno : writeError);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        problem = errorText(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool writeSettingsFile(const std::string& path, const Settings& settings, std::string& problem) {
    if (writeWholeFile(path, settings, problem)) return true;
    problem = path + ": " + problem;
    return false;
}

}  // namespace vonkel
