#pragma once
// One output file, all or nothing. A new file, or a regular file being
// replaced, is written under a short temporary name beside it and gets its
// name only when complete (finish, then publish), so a failed or stopped run
// leaves nothing new behind and every old file as it was. A symbolic link is
// followed: its target is replaced that way (or created, if the link dangles).
// "-" (standard output), FIFOs and devices are written in place: renaming
// over them would destroy what they are. Writes are buffered; the first
// failed write is kept and reported, naming the file.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vonkel::output {

// A path as messages name it: quoted, and printable (lockstep::printable:
// control characters escaped), so that a message stays one harmless line.
std::string quotedPath(std::string_view path);

// Where an output lands, whatever its spelling: links followed, the path
// made absolute; for an existing file its device and inode as well.
struct Destination {
    std::string path;  // the resolved path; "-" for standard output
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool nullDevice = false;  // /dev/null takes any number of outputs
    bool sameAs(const Destination& other) const;
};
Destination destinationOf(const std::string& path);

struct OpenOptions {
    // writeAt() must work: an output that cannot seek (a pipe, a FIFO) is
    // spooled into an unnamed scratch file and copied out by finish().
    bool seekable = false;
    // Never replace an existing file: publish() fails if the name is taken,
    // unless `otherName` gives names to try instead: otherName(2),
    // otherName(3) ... up to 999, the first one free.
    bool keepExisting = false;
    std::function<std::string(int attempt)> otherName = {};
    // A new or replaced file is synced to the disk before it gets its name:
    // after a crash the name holds the old file or the whole new one.
    bool sync = false;
};

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Returns an empty string or a message.
    std::string open(const std::string& path, OpenOptions options = {});
    // Appends bytes; false once a write has failed.
    bool write(std::string_view bytes);
    // Overwrites bytes already written, `offset` from the output's start.
    bool writeAt(uint64_t offset, std::string_view bytes);
    // Writes out everything and closes; a new file keeps its temporary name.
    // Returns an empty string or a message.
    std::string finish();
    // Gives a finished file its name (path() is then the name it got).
    // Returns an empty string or a message.
    std::string publish();
    // finish(), then publish().
    std::string commit();
    // Removes the temporary file, if any; nothing else changes.
    void discard();

    const std::string& path() const { return path_; }
    // Whether a write has failed (the first failure is kept).
    bool failed() const { return error_ != 0; }
    // "cannot write 'PATH': REASON" for the first failed write.
    std::string writeError() const;
    // "cannot write 'PATH': `reason`", for a failure of a writer's own.
    std::string failure(std::string_view reason) const;

    // For a writer that writes itself (libsndfile, FFmpeg): the descriptor,
    // with this object's buffer written out, and where the output's first
    // byte is in it; or the path it may open itself instead ("-" for
    // standard output), which is the temporary file for a new file. Such a
    // writer never calls write() or writeAt(); it may seek, read back and
    // write as it likes, then finish() and publish() as usual.
    int descriptor();
    int64_t startOffset() const { return start_; }
    const std::string& writtenPath() const { return tempPath_.empty() ? target_ : tempPath_; }

private:
    std::string openTemporary(const std::string& target);
    bool flush();
    bool fail(int error);
    bool failWriting(int error);  // a write into fd_

    std::string path_;      // as the user named it
    std::string target_;    // where it gets its name (links followed)
    std::string tempPath_;  // empty when written in place
    bool keepExisting_ = false;
    std::function<std::string(int)> otherName_;
    bool sync_ = false;
    int fd_ = -1;           // where the bytes go now
    int spooledTo_ = -1;    // a spooled output: where finish() copies them
    int64_t start_ = 0;     // the output's first byte in fd_; -1: fd_ cannot seek
    std::string buffer_;
    int error_ = 0;
    std::string scratchFolder_;   // of a spooled output
    bool scratchFailed_ = false;  // the first failed write was into the scratch file
};

}  // namespace vonkel::output
