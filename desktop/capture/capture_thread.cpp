#include "desktop/capture/capture_thread.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "output/output_file.h"
#include "output/png_writer.h"

namespace vonkel {

std::string picturesFolderFrom(std::string_view userDirs, std::string_view home) {
    const std::string fallback = std::string(home) + "/Pictures";
    std::istringstream lines{std::string(userDirs)};
    for (std::string line; std::getline(lines, line);) {
        constexpr std::string_view kKey = "XDG_PICTURES_DIR=\"";
        if (!line.starts_with(kKey)) continue;
        const size_t end = line.rfind('"');
        if (end < kKey.size()) continue;
        // Shell quoting: a backslash keeps the character after it.
        std::string value;
        for (size_t i = kKey.size(); i < end; ++i) value += line[i] == '\\' && i + 1 < end ? line[++i] : line[i];
        // The file's own rule: a path is absolute or starts with $HOME.
        if (line.compare(kKey.size(), 5, "$HOME") == 0) value = std::string(home) + value.substr(5);
        if (value.empty() || value.front() != '/') return fallback;
        return value;
    }
    return fallback;
}

std::string captureFolder(const std::string& chosen) {
    if (!chosen.empty()) return chosen;
    const char* home = std::getenv("HOME");
    const std::string homeDir = home != nullptr && home[0] != '\0' ? home : ".";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string configDir = config != nullptr && config[0] == '/' ? config : homeDir + "/.config";
    std::ifstream in(configDir + "/user-dirs.dirs");
    std::ostringstream text;
    text << in.rdbuf();
    return picturesFolderFrom(text.str(), homeDir) + "/vonkel";
}

std::string captureName(const std::tm& local, uint32_t songNumber, std::string_view extension, int attempt) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    // Appended piece by piece: GCC 12 warns falsely on "-" + a string.
    std::string name = "vonkel-";
    name += stamp;
    name += "-song-";
    name += std::to_string(songNumber);
    if (attempt > 1) {
        name += '-';
        name += std::to_string(attempt);
    }
    name += '.';
    name += extension;
    return name;
}

CaptureThread::CaptureThread(std::string folder, ClipTap& tap, RunTap& runTap, uint32_t seed)
    : folder_(std::move(folder)), tap_(tap), run_(runTap), recorder_(seed, std::nullopt), thread_([this] { run(); }) {}

void CaptureThread::finish() {
    quitting_ = true;
    if (thread_.joinable()) thread_.join();
}

void CaptureThread::report(CaptureReport::Kind kind, const std::string& text) {
    CaptureReport* r = reports.beginPush();
    if (r == nullptr) return;  // the main thread reads them every frame; never this many
    r->kind = kind;
    r->text = text;
    reports.endPush();
}

// The capture folder, made if missing (through a link that leads nowhere
// yet, too); reported when it cannot be made. The first time, what games
// killed outright left there is removed: a temporary file (`.vonkel-...`)
// no game has written to for longer than any clip lasts.
bool CaptureThread::makeFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path place = folder_;
    if (fs::is_symlink(place, ec) && !fs::exists(place, ec)) place = place.parent_path() / fs::read_symlink(place, ec);
    fs::create_directories(place, ec);
    if (ec) {
        report(CaptureReport::Failed,
               "cannot make the capture folder " + output::quotedPath(folder_) + ": " + ec.message());
        return false;
    }
    if (folderMade_) return true;
    folderMade_ = true;
    const auto stale = fs::file_time_type::clock::now() - std::chrono::minutes(30);
    for (const fs::directory_entry& entry : fs::directory_iterator(place, ec)) {
        if (entry.path().filename().string().starts_with(".vonkel-") && entry.is_regular_file(ec) &&
            entry.last_write_time(ec) < stale) {
            fs::remove(entry.path(), ec);
        }
    }
    return true;
}

std::string CaptureThread::name(const CaptureOrder& order, const char* extension, int attempt) const {
    return folder_ + "/" + captureName(order.local, order.song, extension, attempt);
}

void CaptureThread::screenshot(const CaptureOrder& order) {
    const CapturedPicture* picture = shots.beginPop();
    if (picture == nullptr) return;
    if (makeFolder()) {
        output::OpenOptions options{.keepExisting = true, .otherName = [&](int n) { return name(order, "png", n); }};
        std::string path = name(order, "png", 1);
        output::OutputFile file;
        std::string error = file.open(path, options);
        if (error.empty()) error = output::writePng(file, picture->pixels, kOutputWidth, kOutputHeight);
        if (error.empty()) error = file.publish();
        report(error.empty() ? CaptureReport::Saved : CaptureReport::Failed, error.empty() ? file.path() : error);
    }
    shots.endPop();
}

void CaptureThread::startClip(const CaptureOrder& order) {
    if (!makeFolder()) return report(CaptureReport::ClipFailed, "");
    const std::string error =
        clip_.open(name(order, "mp4", 1), order.atMs, [this, order](int n) { return name(order, "mp4", n); });
    if (!error.empty()) report(CaptureReport::ClipFailed, error);
}

void CaptureThread::failClip(const std::string& error) {
    clip_.discard();
    report(CaptureReport::ClipFailed, error);
}

// Pictures and sound waiting in the rings, into the open clip. Without one
// they wait: the clip about to open takes them (what came before it, from
// an earlier clip, it skips by its time).
void CaptureThread::takeClipInput() {
    while (clip_.isOpen()) {
        const CapturedPicture* p = frames.beginPop();
        if (p == nullptr) break;
        const std::string error = clip_.addPicture(p->pixels.data(), p->atMs);
        frames.endPop();
        if (!error.empty()) failClip(error);
    }
    while (clip_.isOpen()) {
        const CapturedSound* block = tap_.ring.beginPop();
        if (block == nullptr) break;
        const std::string error = clip_.addSound(*block);
        tap_.ring.endPop();
        if (!error.empty()) failClip(error);
    }
}

void CaptureThread::stopClip(uint32_t atMs) {
    clip_.endAt(atMs);
    takeClipInput();
    if (!clip_.isOpen()) return;
    if (std::string error = clip_.finish(); !error.empty()) return report(CaptureReport::Failed, error);
    if (clip_.lostMs() > 0) {
        report(CaptureReport::Failed, "the clip " + output::quotedPath(clip_.path()) + " lost " +
                                          std::to_string(clip_.lostMs()) +
                                          " ms of sound, recorded as silence (the encoder fell behind)");
    }
    report(CaptureReport::Saved, clip_.path());
}

// The frames and blocks played since the last look, into the run. A mark
// lost to a full ring (a sound device that takes blocks faster than it
// plays them) would make the run wrong from there: it ends there.
void CaptureThread::takeRunInput() {
    while (const ShownFrameMark* f = frameMarks.beginPop()) {
        if (!runBroken_) recorder_.frame(f->keys, f->digest, f->quit);
        frameMarks.endPop();
    }
    while (const RenderedBlockMark* b = run_.ring.beginPop()) {
        if (!runBroken_) recorder_.block(b->clockMs, b->frames, b->step, b->overlapped, b->digest);
        run_.ring.endPop();
    }
    runBroken_ = runBroken_ || run_.lost != 0;
}

void CaptureThread::saveRun(const CaptureOrder& order) {
    takeRunInput();
    if (!makeFolder()) return;
    const std::string text = recorder_.text("desktop vonkel " VONKEL_VERSION);
    if (text.empty()) return;
    output::OutputFile file;
    const output::OpenOptions options{.keepExisting = true,
                                      .otherName = [&](int n) { return name(order, "vonkelrun", n); }};
    std::string error = file.open(name(order, "vonkelrun", 1), options);
    if (error.empty() && !file.write(text)) error = file.writeError();
    if (error.empty()) error = file.commit();
    report(error.empty() ? CaptureReport::Saved : CaptureReport::Failed, error.empty() ? file.path() : error);
    if (error.empty() && runBroken_) {
        report(CaptureReport::Failed, "the run " + output::quotedPath(file.path()) + " ends at frame " +
                                          std::to_string(recorder_.frames()) +
                                          ": the sound came faster than the run could keep it");
    }
}

void CaptureThread::run() {
    for (;;) {
        // Read before looking for orders: every order given before the quit
        // is then seen, and done, before the thread ends.
        const bool quit = quitting_;
        bool busy = false;
        if (const CaptureOrder* o = orders.beginPop()) {
            const CaptureOrder order = *o;
            orders.endPop();
            busy = true;
            if (order.kind == CaptureOrder::Screenshot) screenshot(order);
            if (order.kind == CaptureOrder::StartClip) startClip(order);
            if (order.kind == CaptureOrder::StopClip) stopClip(order.atMs);
            if (order.kind == CaptureOrder::SaveRun) saveRun(order);
        }
        takeClipInput();
        takeRunInput();
        if (!busy) {
            if (quit) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
        }
    }
}

}  // namespace vonkel
