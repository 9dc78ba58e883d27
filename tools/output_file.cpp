#include "tools/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

namespace vonkel::lab {

PendingFile::~PendingFile() { discard(); }

PendingFile::PendingFile(PendingFile&& other) noexcept
    : finalPath_(std::move(other.finalPath_)),
      tempPath_(std::move(other.tempPath_)),
      fd_(std::exchange(other.fd_, -1)),
      pending_(std::exchange(other.pending_, false)) {}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this != &other) {
        discard();
        finalPath_ = std::move(other.finalPath_);
        tempPath_ = std::move(other.tempPath_);
        fd_ = std::exchange(other.fd_, -1);
        pending_ = std::exchange(other.pending_, false);
    }
    return *this;
}

std::string PendingFile::create(const std::string& finalPath) {
    discard();
    if (finalPath.empty()) return "empty file name";
    const std::filesystem::path target(finalPath);
    if (!target.has_filename()) return "'" + finalPath + "' names a directory, not a file";
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) return "'" + finalPath + "' is a directory";

    const std::filesystem::path dir = target.parent_path();
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name(1, '.');
        name.append(target.filename().string());
        name.append(1, '.');
        name.append(std::to_string(::getpid()));
        name.append(1, '-');
        name.append(std::to_string(counter++));
        name.append(".tmp");
        const std::string candidate = (dir / name).string();
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            finalPath_ = finalPath;
            tempPath_ = candidate;
            fd_ = fd;
            pending_ = true;
            return {};
        }
        if (errno != EEXIST) return "cannot create '" + finalPath + "': " + std::strerror(errno);
    }
    return "cannot create '" + finalPath + "': no free temporary name";
}

int PendingFile::releaseFd() { return std::exchange(fd_, -1); }

bool PendingFile::closeFd() {
    if (fd_ < 0) return true;
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0;
}

std::string PendingFile::commit() {
    if (!pending_) return "nothing to commit";
    if (!closeFd()) {
        const std::string message = "cannot write '" + finalPath_ + "': " + std::strerror(errno);
        discard();
        return message;
    }
    if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
        const std::string message = "cannot rename into '" + finalPath_ + "': " + std::strerror(errno);
        discard();
        return message;
    }
    pending_ = false;
    return {};
}

void PendingFile::discard() {
    closeFd();
    if (pending_) {
        ::unlink(tempPath_.c_str());
        pending_ = false;
    }
}

}  // namespace vonkel::lab
