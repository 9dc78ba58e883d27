#pragma once
// Output files that appear only when complete: each is written under a
// temporary name in its own directory and renamed into place by commit().
// A file that is never committed is removed when its owner goes away, so a
// failed run leaves nothing behind.
#include <cstdio>
#include <string>

namespace vonkel::lab {

class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile();
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Creates the temporary file beside `finalPath`. Returns an empty string,
    // or a message naming what is wrong.
    std::string create(const std::string& finalPath);

    // The open temporary file, for writers that take a descriptor or a FILE.
    int fd() const { return fd_; }
    // Hands the descriptor over (to a library that closes it itself).
    int releaseFd();
    // Closes the descriptor if still held; returns false on a write error.
    bool closeFd();

    const std::string& finalPath() const { return finalPath_; }
    const std::string& tempPath() const { return tempPath_; }

    // Renames the (closed) temporary file to the final name. Returns an
    // empty string, or a message.
    std::string commit();
    // Removes the temporary file now.
    void discard();

private:
    std::string finalPath_;
    std::string tempPath_;
    int fd_ = -1;
    bool pending_ = false;
};

}  // namespace vonkel::lab
