#include "tools/lab_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>
#include <vector>

#include "output/output_file.h"
#include "output/stop_signal.h"

namespace vonkel::lab {
namespace {

using output::quotedPath;

// Closes the descriptor however the read ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Whether a file of this name is one that --shots writes.
bool isShotName(const std::string& name) {
    return name.size() > 10 && name.starts_with("frame-") && name.ends_with(".png") &&
           name.find_first_not_of("0123456789", 6) == name.size() - 4;
}

// Reads `fd` to its end into `text`; `name` is how messages name it.
std::string readAll(int fd, const std::string& name, std::string& text, int64_t limit) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) return name + " is a folder";
    text.clear();
    try {
        char chunk[1 << 16];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (output::stopSignal() != 0) return "stopped";
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return "cannot read " + name + ": " + std::strerror(errno);
            if (n == 0) return {};
            if (static_cast<int64_t>(text.size()) + n > limit) {
                return name + " is larger than " + std::to_string(limit >> 20) + " MiB";
            }
            text.append(chunk, static_cast<size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        text.clear();
        text.shrink_to_fit();
        return "not enough memory to read " + name;
    }
}

// Where replay's run comes from. Standard input counts only as a regular
// file (a terminal is also standard output, a pipe is nothing written).
output::Destination replayedFrom(const std::string& path) {
    if (path != "-") return output::destinationOf(path);
    output::Destination d;
    d.path = "(standard input)";
    struct stat status {};
    if (::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode)) {
        d.exists = true;
        d.device = status.st_dev;
        d.inode = status.st_ino;
    }
    return d;
}

}  // namespace

std::string readInputFile(const std::string& path, std::string& text, int64_t limit) {
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) {
        if (output::stopSignal() != 0) return "stopped";
        return "cannot read " + quotedPath(path) + ": " + std::strerror(errno);
    }
    return readAll(file.fd, quotedPath(path), text, limit);
}

std::string readStandardInput(std::string& text, int64_t limit) {
    return readAll(STDIN_FILENO, "standard input", text, limit);
}

std::string filesMeet(const RunFiles& files) {
    struct Named {
        std::string option;
        std::string path;
        output::Destination where;
    };
    std::vector<Named> outputs;
    for (const auto& [option, path] : {std::pair{"--out", &files.out}, {"--trace", &files.trace},
                                       {"--wav", &files.wav}, {"--video", &files.video}, {"--run", &files.run}}) {
        if (*path) outputs.push_back({option, **path, output::destinationOf(**path)});
    }
    for (size_t i = 0; i < outputs.size(); ++i) {
        for (size_t j = i + 1; j < outputs.size(); ++j) {
            if (!outputs[i].where.sameAs(outputs[j].where)) continue;
            if (outputs[i].path == "-" && outputs[j].path == "-") {
                return outputs[i].option + " and " + outputs[j].option + ": only one of them can be '-' (standard output)";
            }
            return outputs[i].option + " " + quotedPath(outputs[i].path) + " and " + outputs[j].option + " " +
                   quotedPath(outputs[j].path) + " are the same file";
        }
    }
    for (const auto& [input, what] : {std::pair{&files.keys, "the key script that --keys reads"},
                                      {&files.replayed, "the run that replay reads"}}) {
        if (!*input) continue;
        const output::Destination read = input == &files.replayed ? replayedFrom(**input) : output::destinationOf(**input);
        for (const Named& o : outputs) {
            if (read.exists && o.where.sameAs(read)) return o.option + " " + quotedPath(o.path) + " is " + what;
        }
    }
    if (files.shots) {
        const output::Destination shots = output::destinationOf(*files.shots);
        for (const Named& o : outputs) {
            const std::filesystem::path where(o.where.path);
            if (o.where.sameAs(shots) || (where.parent_path() == shots.path && isShotName(where.filename()))) {
                return o.option + " " + quotedPath(o.path) + " is where --shots " + quotedPath(*files.shots) +
                       " puts its pictures";
            }
        }
    }
    return {};
}

}  // namespace vonkel::lab
