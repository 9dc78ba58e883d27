#include "output/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

#include "lockstep/decimal.h"
#include "output/stop_signal.h"

namespace vonkel::output {
namespace {

constexpr size_t kBufferBytes = 1 << 16;
constexpr int kMaxLinkHops = 40;  // as the kernel allows

std::string named(const std::string& path) { return path == "-" ? "standard output" : quotedPath(path); }

// The path with its last component's symbolic links followed, as far as they
// lead (a dangling link gives the name it points to). A link into /dev or
// /proc (/dev/stdout, /proc/self/fd/1) names an open file or a device, not a
// place for a file: `inPlace` says so, and the path is left as it is.
struct Resolved {
    std::string path;
    bool inPlace = false;
};
Resolved resolveLinks(const std::string& given) {
    if (given.starts_with("/dev/") || given.starts_with("/proc/")) return {given, true};
    std::string path = given;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) break;
        target.resize(static_cast<size_t>(n));
        if (target.starts_with("/dev/") || target.starts_with("/proc/")) return {given, true};
        const std::filesystem::path link(path);
        path = target.front() == '/' ? target : (link.parent_path() / target).string();
    }
    return {path, false};
}

// Writes all of `bytes` at `offset` (or at the file position when negative).
// A signal interrupts it only when it asks the run to stop.
int writeAll(int fd, std::string_view bytes, int64_t offset = -1) {
    while (!bytes.empty()) {
        const ssize_t n = offset < 0 ? ::write(fd, bytes.data(), bytes.size())
                                     : ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR && stopSignal() == 0) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
        if (offset >= 0) offset += n;
    }
    return 0;
}

// An unnamed scratch file in TMPDIR (or /tmp), gone as soon as it is closed
// or the process dies. Returns -1 with errno set.
int openScratch(std::string& folder) {
    const char* tmp = std::getenv("TMPDIR");
    folder = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR)) return fd;
    std::string name = folder + "/.vonkel-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

// A short name for a temporary file: fits wherever the final name fits.
std::string temporaryName() {
    static uint32_t state = static_cast<uint32_t>(::getpid()) * 2654435761u ^ static_cast<uint32_t>(std::time(nullptr));
    std::string name = ".vonkel-";
    for (int i = 0; i < 6; ++i) {
        state = state * 1664525u + 1013904223u;
        name += "abcdefghijklmnopqrstuvwxyz0123456789"[(state >> 16) % 36];
    }
    return name;
}

}  // namespace

std::string quotedPath(std::string_view path) {
    std::string text(1, '\'');  // (built piece by piece: GCC 12 warns falsely on "'" + a string)
    text += lockstep::printable(path, path.size());
    return text += '\'';
}

bool Destination::sameAs(const Destination& other) const {
    if (nullDevice && other.nullDevice) return false;
    if (exists && other.exists) return device == other.device && inode == other.inode;
    return path == other.path;
}

Destination destinationOf(const std::string& path) {
    Destination d;
    struct stat status {};
    if (path == "-") {
        d.path.push_back('-');  // (one char: GCC 12 warns falsely on assigning "-")
        d.exists = ::fstat(STDOUT_FILENO, &status) == 0;
    } else {
        std::error_code ec;
        const std::string resolved = resolveLinks(path).path;
        d.path = std::filesystem::weakly_canonical(std::filesystem::absolute(resolved, ec), ec).string();
        if (ec) d.path = std::filesystem::absolute(resolved, ec).lexically_normal().string();
        d.exists = ::stat(resolved.c_str(), &status) == 0;
    }
    if (d.exists) {
        d.device = status.st_dev;
        d.inode = status.st_ino;
        d.nullDevice = S_ISCHR(status.st_mode) && major(status.st_rdev) == 1 && minor(status.st_rdev) == 3;
    }
    return d;
}

std::string OutputFile::open(const std::string& path, OpenOptions options) {
    discard();
    path_ = path;
    target_ = path;
    keepExisting_ = options.keepExisting;
    otherName_ = options.otherName;
    sync_ = options.sync;
    error_ = 0;
    scratchFailed_ = false;
    if (path.empty()) return "empty file name";
    struct stat status {};
    if (path != "-") {
        const Resolved resolved = resolveLinks(path);
        target_ = resolved.path;
        const bool exists = ::stat(target_.c_str(), &status) == 0;
        if (exists && S_ISDIR(status.st_mode)) return named(path) + " is a directory";
        if (exists && keepExisting_ && !otherName_) return named(path) + " exists already";
        if (!resolved.inPlace && (!exists || S_ISREG(status.st_mode))) {
            if (std::string error = openTemporary(target_); !error.empty()) return error;
            // A replaced file keeps its permissions.
            if (exists) ::fchmod(fd_, status.st_mode & 07777);
            return {};
        }
    }

    fd_ = path == "-" ? ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)
                      : ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd_ < 0) return "cannot open " + named(path) + ": " + std::strerror(errno);
    start_ = ::lseek(fd_, 0, SEEK_CUR);
    // pwrite() on an appending descriptor would append, so it cannot seek either.
    if ((::fcntl(fd_, F_GETFL) & O_APPEND) != 0) start_ = -1;
    if (options.seekable && start_ < 0) {
        spooledTo_ = std::exchange(fd_, openScratch(scratchFolder_));
        start_ = 0;
        if (fd_ < 0) {
            return "cannot make a scratch file for " + named(path) + " in " + quotedPath(scratchFolder_) +
                   " (TMPDIR): " + std::strerror(errno);
        }
    }
    return {};
}

std::string OutputFile::openTemporary(const std::string& target) {
    const std::filesystem::path place(target);
    if (!place.has_filename()) return named(path_) + " names a folder, not a file";
    const std::filesystem::path folder = place.has_parent_path() ? place.parent_path() : ".";
    const auto cannot = [&](const std::string& reason) {
        const std::string via = target == path_ ? "" : " (a link to " + quotedPath(target) + ")";
        return "cannot create " + named(path_) + via + ": " + reason;
    };
    // The temporary's short name fits where the final name may not, which
    // publish() would find only after the work: refuse such a name now.
    const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax > 0 && place.filename().string().size() > static_cast<size_t>(nameMax)) {
        return cannot(std::string(std::strerror(ENAMETOOLONG)) + " (a name there has at most " +
                      std::to_string(nameMax) + " bytes)");
    }
    const long pathMax = ::pathconf(folder.c_str(), _PC_PATH_MAX);
    if (pathMax > 0 && target.size() >= static_cast<size_t>(pathMax)) {
        return cannot(std::string(std::strerror(ENAMETOOLONG)) + " (a path has at most " +
                      std::to_string(pathMax - 1) + " bytes)");
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = (folder / temporaryName()).string();
        fd_ = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            tempPath_ = candidate;
            start_ = 0;
            return {};
        }
        if (errno != EEXIST) return cannot(std::strerror(errno));
    }
    return "cannot create " + named(path_) + ": no free temporary name";
}

bool OutputFile::fail(int error) {
    if (error_ == 0) error_ = error;
    return error_ == 0;
}

bool OutputFile::failWriting(int error) {
    // While spooled, fd_ is the scratch file: a full TMPDIR is named as such.
    if (error_ == 0 && error != 0) scratchFailed_ = spooledTo_ >= 0;
    return fail(error);
}

bool OutputFile::write(std::string_view bytes) {
    if (error_ != 0) return false;
    buffer_ += bytes;
    return buffer_.size() < kBufferBytes || flush();
}

bool OutputFile::flush() {
    if (error_ == 0 && !buffer_.empty()) failWriting(writeAll(fd_, buffer_));
    buffer_.clear();
    return error_ == 0;
}

bool OutputFile::writeAt(uint64_t offset, std::string_view bytes) {
    if (start_ < 0) return fail(ESPIPE);
    return flush() && failWriting(writeAll(fd_, bytes, start_ + static_cast<int64_t>(offset)));
}

std::string OutputFile::finish() {
    if (fd_ >= 0) {
        flush();
        if (spooledTo_ >= 0 && error_ == 0) {
            // Copy the finished scratch file into the pipe or FIFO.
            char chunk[kBufferBytes];
            ssize_t n = 0;
            ::lseek(fd_, 0, SEEK_SET);
            while (error_ == 0 && ((n = ::read(fd_, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))) {
                if (n > 0) fail(writeAll(spooledTo_, std::string_view(chunk, static_cast<size_t>(n))));
                if (stopSignal() != 0) fail(EINTR);
            }
            if (n < 0) fail(errno);
        }
        if (sync_ && !tempPath_.empty() && error_ == 0 && ::fsync(fd_) != 0) fail(errno);
        if (::close(std::exchange(fd_, -1)) != 0) fail(errno);
        if (spooledTo_ >= 0 && ::close(std::exchange(spooledTo_, -1)) != 0) fail(errno);
    }
    return error_ == 0 ? std::string() : writeError();
}

std::string OutputFile::publish() {
    if (tempPath_.empty()) return {};
    int result = 0;
    if (keepExisting_) {
        for (int attempt = 2;; ++attempt) {
            result = ::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
            if (result != 0 && errno == EINVAL) {  // a file system without it: link, then let go of the old name
                result = ::link(tempPath_.c_str(), target_.c_str());
                if (result == 0) ::unlink(tempPath_.c_str());
            }
            // Taken (by another game, a moment ago): the next name.
            if (result == 0 || errno != EEXIST || !otherName_ || attempt > 999) break;
            path_ = target_ = otherName_(attempt);
        }
    } else {
        result = std::rename(tempPath_.c_str(), target_.c_str());
    }
    if (result != 0) {
        const std::string error = "cannot name " + named(path_) + ": " + std::strerror(errno);
        discard();
        return error;
    }
    tempPath_.clear();
    return {};
}

std::string OutputFile::commit() {
    if (std::string error = finish(); !error.empty()) {
        discard();
        return error;
    }
    return publish();
}

void OutputFile::discard() {
    buffer_.clear();
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (spooledTo_ >= 0) ::close(std::exchange(spooledTo_, -1));
    if (!tempPath_.empty()) ::unlink(std::exchange(tempPath_, {}).c_str());
}

int OutputFile::descriptor() {
    flush();
    return fd_;
}

std::string OutputFile::writeError() const {
    const char* reason = std::strerror(error_ != 0 ? error_ : EIO);
    if (scratchFailed_) {
        return "cannot write the scratch file for " + named(path_) + " in " + quotedPath(scratchFolder_) +
               " (TMPDIR): " + reason;
    }
    return failure(reason);
}

std::string OutputFile::failure(std::string_view reason) const {
    return "cannot write " + named(path_) + ": " + std::string(reason);
}

}  // namespace vonkel::output
