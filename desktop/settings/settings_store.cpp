#include "desktop/settings/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "desktop/messages.h"
#include "output/output_file.h"

namespace vonkel {
namespace {

constexpr size_t kMaxFileBytes = 64 * 1024;

// The file's text, or why it cannot be read. Non-blocking: a FIFO in the
// file's place must not stop the game.
std::string readText(const std::string& path, std::string& problem) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        problem = std::strerror(errno);
        return {};
    }
    struct stat info {};
    std::string text;
    if (fstat(fd, &info) != 0) {
        problem = std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        problem = S_ISDIR(info.st_mode) ? "a folder, not a file" : "not a plain file";
    } else {
        std::vector<char> buffer(kMaxFileBytes + 1);
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) problem = std::strerror(errno);
            if (n > 0 && text.size() + static_cast<size_t>(n) > kMaxFileBytes) problem = "larger than 64 KiB";
            if (n <= 0 || !problem.empty()) break;
            text.append(buffer.data(), static_cast<size_t>(n));
        }
    }
    close(fd);
    return text;
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
    std::string problem;
    const std::string text = readText(path, problem);
    // No file there (a plain file in place of a folder on its path leaves
    // none either): the defaults, silently.
    if (problem == std::strerror(ENOENT) || problem == std::strerror(ENOTDIR)) return read;
    if (!problem.empty()) {
        read.warning = "vonkel: cannot read " + output::quotedPath(path) + ": " + problem + "; using the defaults";
        read.readable = false;
        return read;
    }
    const SettingsText parsed = parseSettings(text);
    read.settings = parsed.settings;
    read.warning = settingsWarning(path, parsed);
    return read;
}

std::string writeSettingsFile(const std::string& path, const Settings& settings) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return "cannot make " + output::quotedPath(folder) + ": " + std::strerror(errno);
        }
    }
    output::OutputFile file;
    // Synced before the rename: after a crash the name holds the old text
    // or the whole new one.
    if (std::string error = file.open(path, {.sync = true}); !error.empty()) return error;
    file.write(formatSettings(settings));
    return file.commit();
}

SettingsStore::SettingsStore(std::string path, const Messages& messages)
    : path_(std::move(path)), messages_(messages) {
    if (path_.empty()) return;
    const SettingsRead read = readSettingsFile(path_);
    if (!read.warning.empty()) messages_.say(read.warning);
    saved_ = read.settings;
    writable_ = read.readable;
}

SettingsStore::~SettingsStore() {
    if (!writer_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    writer_.join();
}

void SettingsStore::handOver() {
    if (path_.empty()) return;
    if (!writable_) {
        // What the player has in that file (a device, say) must not be lost
        // to the defaults it could not be read for.
        if (!refusalSaid_) messages_.say("vonkel: not saving the settings over " + output::quotedPath(path_) +
                                         ", which could not be read");
        refusalSaid_ = true;
        return;
    }
    {
        std::lock_guard lock(mutex_);
        pending_ = saved_;
        dirty_ = true;
    }
    wake_.notify_all();
    if (!writer_.joinable()) writer_ = std::thread([this] { run(); });
}

// Writes each change, then waits a second before the next; at the end it
// writes what is still to be written. A failure is said once and tried
// again with the next change.
void SettingsStore::run() {
    bool failureSaid = false;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return dirty_ || stopping_; });
        if (!dirty_) return;
        const Settings settings = pending_;
        dirty_ = false;
        lock.unlock();
        const std::string error = writeSettingsFile(path_, settings);
        if (!error.empty() && !failureSaid) messages_.say("vonkel: cannot save the settings: " + error);
        failureSaid = failureSaid || !error.empty();
        lock.lock();
        wake_.wait_for(lock, std::chrono::milliseconds(kSaveIntervalMs), [this] { return stopping_; });
    }
}

}  // namespace vonkel
