#include "tools/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "tools/stop_signal.h"

namespace vonkel::lab {
namespace {

constexpr size_t kBufferBytes = 1 << 16;

std::string named(const std::string& path) { return path == "-" ? "standard output" : "'" + path + "'"; }

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

// An unnamed scratch file, gone as soon as it is closed (or the process dies).
int openScratch() {
    std::string name = (std::filesystem::temp_directory_path() / "vonkel-lab-XXXXXX").string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

}  // namespace

std::string OutputFile::open(const std::string& path, bool needsSeek) {
    discard();
    path_ = path;
    error_ = 0;
    if (path.empty()) return "empty file name";
    struct stat status {};
    if (path != "-" && (::lstat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode))) return openTemporary();
    if (path != "-" && S_ISDIR(status.st_mode)) return "'" + path + "' is a directory";

    fd_ = path == "-" ? ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0) : ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd_ < 0) return "cannot open " + named(path) + ": " + std::strerror(errno);
    start_ = ::lseek(fd_, 0, SEEK_CUR);
    // pwrite() on an appending descriptor would append, so it cannot seek either.
    if ((::fcntl(fd_, F_GETFL) & O_APPEND) != 0) start_ = -1;
    if (needsSeek && start_ < 0) {
        spooledTo_ = std::exchange(fd_, openScratch());
        start_ = 0;
        if (fd_ < 0) return "cannot create a temporary file for " + named(path) + ": " + std::strerror(errno);
    }
    return {};
}

std::string OutputFile::openTemporary() {
    const std::filesystem::path target(path_);
    if (!target.has_filename()) return "'" + path_ + "' names a directory, not a file";
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Appended piece by piece: GCC 12 warns falsely on one long "+" chain.
        std::string name(1, '.');
        name += target.filename().string();
        name += '.';
        name += std::to_string(::getpid());
        name += '-';
        name += std::to_string(counter++);
        name += ".tmp";
        const std::string candidate = (target.parent_path() / name).string();
        fd_ = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            tempPath_ = candidate;
            start_ = 0;
            return {};
        }
        if (errno != EEXIST) return "cannot create '" + path_ + "': " + std::strerror(errno);
    }
    return "cannot create '" + path_ + "': no free temporary name";
}

bool OutputFile::fail(int error) {
    if (error_ == 0) error_ = error;
    return error_ == 0;
}

bool OutputFile::write(std::string_view bytes) {
    if (error_ != 0) return false;
    buffer_ += bytes;
    return buffer_.size() < kBufferBytes || flush();
}

bool OutputFile::flush() {
    if (error_ == 0 && !buffer_.empty()) fail(writeAll(fd_, buffer_));
    buffer_.clear();
    return error_ == 0;
}

bool OutputFile::writeAt(uint64_t offset, std::string_view bytes) {
    if (start_ < 0) return fail(ESPIPE);
    return flush() && fail(writeAll(fd_, bytes, start_ + static_cast<int64_t>(offset)));
}

std::string OutputFile::close() {
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
        if (::close(std::exchange(fd_, -1)) != 0) fail(errno);
        if (spooledTo_ >= 0 && ::close(std::exchange(spooledTo_, -1)) != 0) fail(errno);
    }
    return error_ == 0 ? std::string() : writeError();
}

std::string OutputFile::commit() {
    std::string error = close();
    if (error.empty() && !tempPath_.empty() && std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        error = "cannot rename into '" + path_ + "': " + std::strerror(errno);
    }
    if (!error.empty()) {
        discard();
        return error;
    }
    tempPath_.clear();
    return {};
}

void OutputFile::discard() {
    buffer_.clear();
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (spooledTo_ >= 0) ::close(std::exchange(spooledTo_, -1));
    if (!tempPath_.empty()) ::unlink(std::exchange(tempPath_, {}).c_str());
}

std::string OutputFile::writeError() const {
    return "cannot write " + named(path_) + ": " + std::strerror(error_ != 0 ? error_ : EIO);
}

}  // namespace vonkel::lab
