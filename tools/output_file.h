#pragma once
// One output of a run. A new name or a regular file is written under a
// temporary name beside it and renamed into place by commit(), so it appears
// only when complete and a failed or stopped run leaves nothing behind.
// "-" (standard output) and any other path that is not a regular file (a
// FIFO, a device, a symbolic link such as /dev/stdout) are opened and
// written in place: renaming over them would destroy what they are.
// Writes are buffered; the first failed write is kept and reported, naming
// the file.
#include <cstdint>
#include <string>
#include <string_view>

namespace vonkel::lab {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the output. With `needsSeek`, writeAt() must work, so an output
    // that cannot seek (a pipe, a FIFO) is spooled into an unnamed temporary
    // file and copied out by close(). Returns an empty string or a message.
    std::string open(const std::string& path, bool needsSeek = false);
    // Appends bytes; false once a write has failed.
    bool write(std::string_view bytes);
    // Overwrites bytes already written, `offset` from the output's start.
    bool writeAt(uint64_t offset, std::string_view bytes);
    // Writes out what is buffered and closes; a renamed output stays under
    // its temporary name. Returns an empty string or a message.
    std::string close();
    // close(), then the temporary file takes the final name.
    std::string commit();
    // Removes the temporary file, if any.
    void discard();

    const std::string& path() const { return path_; }
    const std::string& tempPath() const { return tempPath_; }
    // "cannot write 'PATH': REASON" for the first failed write.
    std::string writeError() const;

private:
    std::string openTemporary();
    bool flush();
    bool fail(int error);

    std::string path_;
    std::string tempPath_;  // empty when written in place
    int fd_ = -1;           // where the bytes go now
    int spooledTo_ = -1;    // a spooled output: where close() copies them
    int64_t start_ = 0;     // the output's first byte in fd_; -1: fd_ cannot seek
    std::string buffer_;
    int error_ = 0;
};

}  // namespace vonkel::lab
