#include "tools/shots_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/world.h"
#include "output/output_file.h"
#include "output/png_writer.h"

namespace vonkel::lab {
namespace {

using output::quotedPath;

// Calls `each(name)` for every file in the folder, without holding a list.
template <class Each>
void forEachFile(const std::string& folder, Each each) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") each(name);
    }
    ::closedir(dir);
}

std::string pictureName(int64_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(frame));
    return name;
}

}  // namespace

std::string ShotsFolder::open(const std::string& path, int64_t lastFrame) {
    namespace fs = std::filesystem;
    path_ = path;
    std::error_code ec;
    const fs::path dir(path);
    if (fs::exists(dir, ec)) {
        if (!fs::is_directory(dir, ec)) return "--shots: " + quotedPath(path) + " exists and is not a folder";
    } else {
        // Note every level that is missing, deepest first, to undo later.
        for (fs::path p = dir; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
            created_.push_back(p.string());
            if (p == p.parent_path()) break;
        }
        if (!fs::create_directories(dir, ec) && ec) {
            const std::string message = "--shots: cannot create " + quotedPath(path) + ": " + ec.message();
            discard();
            return message;
        }
    }
    std::string staging = (dir / ".vonkel-XXXXXX").string();
    if (::mkdtemp(staging.data()) == nullptr) return "--shots: cannot write into " + quotedPath(path) + ": " + std::strerror(errno);
    staging_ = staging;
    // A picture name the folder cannot hold would fail only during the run:
    // the longest one, in the staging folder, must fit now.
    const std::string longest = pictureName(lastFrame);
    const long nameMax = ::pathconf(staging_.c_str(), _PC_NAME_MAX);
    const long pathMax = ::pathconf(staging_.c_str(), _PC_PATH_MAX);
    std::string limit;
    if (nameMax > 0 && longest.size() > static_cast<size_t>(nameMax)) {
        limit = "a name there has at most " + std::to_string(nameMax) + " bytes";
    } else if (pathMax > 0 && staging_.size() + 1 + longest.size() >= static_cast<size_t>(pathMax)) {
        limit = "a path has at most " + std::to_string(pathMax - 1) +
                " bytes; pictures are made in a hidden folder there first";
    }
    if (!limit.empty()) {
        const std::string message = "--shots: cannot write " + quotedPath((dir / longest).string()) + ": " +
                                    std::strerror(ENAMETOOLONG) + " (" + limit + ")";
        discard();
        return message;
    }
    return {};
}

std::string ShotsFolder::shoot(int64_t frame, std::span<const uint32_t> doubled) {
    return output::writePngFile(staging_ + "/" + pictureName(frame), doubled, kOutputWidth, kOutputHeight);
}

std::string ShotsFolder::publish() {
    // A folder read while its files move out may skip some: read it again
    // until it is empty.
    for (int pass = 0; pass < 8; ++pass) {
        std::string error;
        forEachFile(staging_, [&](const std::string& name) {
            const std::string to = path_ + "/" + name;
            if (error.empty() && std::rename((staging_ + "/" + name).c_str(), to.c_str()) != 0) {
                error = "--shots: cannot name " + quotedPath(to) + ": " + std::strerror(errno);
            }
        });
        if (!error.empty()) return error;
        if (::rmdir(staging_.c_str()) == 0) {
            staging_.clear();
            created_.clear();
            return {};
        }
    }
    return "--shots: cannot empty " + quotedPath(staging_);
}

void ShotsFolder::discard() {
    if (!staging_.empty()) {
        forEachFile(staging_, [&](const std::string& name) { ::unlink((staging_ + "/" + name).c_str()); });
        ::rmdir(staging_.c_str());
        staging_.clear();
    }
    for (const std::string& dir : created_) ::rmdir(dir.c_str());
    created_.clear();
}

}  // namespace vonkel::lab
