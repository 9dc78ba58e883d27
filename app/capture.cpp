#include "app/capture.h"

#include <sys/stat.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/capture_names.h"
#include "app/clip_writer.h"
#include "core/world.h"
#include "output/output_file.h"
#include "output/png_writer.h"
#include "platform/audio_stream.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/spsc_ring.h"

namespace vonkel {
namespace {

struct Picture {
    uint32_t atMs;  // the frame's start on the millisecond clock
    int32_t durationMs;
    std::array<uint32_t, kOutputWidth * kOutputHeight> pixels;
};

enum class Order { Screenshot, StartClip, StopClip };
struct Command {
    Order order;
    uint32_t atMs;
    uint32_t song;
    std::tm local;  // when it was asked for, for the file's name
};

struct Report {
    enum Kind { Saved, Failed, ClipFailed } kind;
    char text[600];  // the saved file's path, or what went wrong
};

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

// The capture thread: takes orders, pictures and sound through lock-free
// rings, writes the files, and reports back the same way.
struct Capture::Worker {
    std::string folder;
    SpscRing<Command, 8> orders;
    SpscRing<Picture, 2> shots;
    SpscRing<Picture, 8> frames;
    SpscRing<Report, 16> reports;
    std::atomic<bool> quitting{false};

    ClipWriter clip;  // the clip being written (this thread's own)
    std::thread thread;  // last: it starts once everything above is made

    explicit Worker(std::string where) : folder(std::move(where)) { thread = std::thread([this] { run(); }); }
    // Writes what it was given, then ends.
    void join() {
        quitting = true;
        if (thread.joinable()) thread.join();
    }
    ~Worker() { join(); }

    void report(Report::Kind kind, const std::string& text) {
        Report* r = reports.beginPush();
        if (r == nullptr) return;  // the main thread reads them every frame; never this many
        r->kind = kind;
        std::snprintf(r->text, sizeof r->text, "%s", text.c_str());
        reports.endPush();
    }

    // A free name in the capture folder, made if missing; empty and reported
    // when there is none.
    std::string freePath(const Command& c, const char* extension) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            report(Report::Failed, "cannot make the capture folder " + output::quotedPath(folder) + ": " + ec.message());
            return {};
        }
        for (int attempt = 1; attempt < 1000; ++attempt) {
            const std::string path = folder + "/" + captureName(c.local, c.song, extension, attempt);
            struct stat status {};
            if (::lstat(path.c_str(), &status) != 0) return path;
        }
        report(Report::Failed, "no free name in " + output::quotedPath(folder));
        return {};
    }

    void screenshot(const Command& c) {
        const Picture* picture = shots.beginPop();
        if (picture == nullptr) return;
        const std::string path = freePath(c, "png");
        const std::string error =
            path.empty() ? std::string()
                         : output::writePngFile(path, picture->pixels, kOutputWidth, kOutputHeight, {.keepExisting = true});
        shots.endPop();
        if (!path.empty()) report(error.empty() ? Report::Saved : Report::Failed, error.empty() ? path : error);
    }

    void startClip(const Command& c) {
        const std::string path = freePath(c, "mp4");
        if (path.empty()) return report(Report::ClipFailed, "");
        if (std::string error = clip.open(path, c.atMs); !error.empty()) return report(Report::ClipFailed, error);
    }

    void failClip(const std::string& error) {
        clip.discard();
        report(Report::ClipFailed, error);
    }

    // Pictures and sound waiting in the rings, into the open clip. Without
    // one they wait: the clip about to open takes them (what came before it,
    // from an earlier clip, it skips by its time).
    void takeClipInput() {
        while (clip.isOpen()) {
            const Picture* p = frames.beginPop();
            if (p == nullptr) break;
            const std::string error = clip.addPicture(p->pixels.data(), p->atMs, p->durationMs);
            frames.endPop();
            if (!error.empty()) failClip(error);
        }
        SoundCaptureRing& sound = capturedSound();
        while (clip.isOpen()) {
            const CapturedSound* block = sound.beginPop();
            if (block == nullptr) break;
            const std::string error = clip.addSound(*block);
            sound.endPop();
            if (!error.empty()) failClip(error);
        }
    }

    void stopClip(uint32_t atMs) {
        clip.endAt(atMs);
        takeClipInput();
        if (!clip.isOpen()) return;
        if (std::string error = clip.finish(); !error.empty()) return report(Report::Failed, error);
        if (clip.lostMs() > 0) {
            report(Report::Failed, "the clip " + output::quotedPath(clip.path()) + " lost " +
                                       std::to_string(clip.lostMs()) +
                                       " ms of sound, recorded as silence (the encoder fell behind)");
        }
        report(Report::Saved, clip.path());
    }

    void run() {
        for (;;) {
            // Read before looking for orders: every order given before the
            // quit is then seen, and done, before the thread ends.
            const bool quit = quitting;
            bool busy = false;
            if (const Command* c = orders.beginPop()) {
                const Command order = *c;
                orders.endPop();
                busy = true;
                if (order.order == Order::Screenshot) screenshot(order);
                if (order.order == Order::StartClip) startClip(order);
                if (order.order == Order::StopClip) stopClip(order.atMs);
            }
            takeClipInput();
            if (!busy) {
                if (quit) return;
                std::this_thread::sleep_for(std::chrono::milliseconds(4));
            }
        }
    }
};

Capture::Capture(Settings settings) : settings_(std::move(settings)) {}

Capture::~Capture() { finish(); }

Capture::Worker& Capture::worker() {
    if (!worker_) worker_ = std::make_unique<Worker>(captureFolder(settings_.folder));
    return *worker_;
}

bool Capture::recording() const { return recording_; }

void Capture::screenshot(const World& world) {
    Worker& w = worker();
    Picture* slot = w.shots.beginPush();
    Command* order = w.orders.beginPush();
    if (slot == nullptr || order == nullptr) return;  // two already waiting: this one is skipped
    slot->pixels = world.OutputBuffer;
    w.shots.endPush();
    *order = {Order::Screenshot, 0, world.songNumber, localNow()};
    w.orders.endPush();
}

void Capture::toggleClip(const World& world, uint32_t nowMs) {
    if (recording_) return stopClip(nowMs);
    Worker& w = worker();
    Command* order = w.orders.beginPush();
    if (order == nullptr) return;
    *order = {Order::StartClip, nowMs, world.songNumber, localNow()};
    setSoundCapture(true);
    w.orders.endPush();
    recording_ = true;
    clipStartMs_ = nowMs;
    droppedPictures_ = 0;
}

void Capture::stopClip(uint32_t nowMs) {
    Command* order = worker().orders.beginPush();
    if (order == nullptr) return;  // tried again next frame
    setSoundCapture(false);
    *order = {Order::StopClip, nowMs, 0, {}};
    worker_->orders.endPush();
    recording_ = false;
    if (settings_.verbose && droppedPictures_ > 0) {
        std::printf("clip: %lld pictures dropped (the encoder was behind)\n", static_cast<long long>(droppedPictures_));
        std::fflush(stdout);
    }
}

void Capture::pictureShown(const World& world, uint32_t frameStartMs, int frameMs) {
    if (!recording_) return;
    if (static_cast<uint32_t>(frameStartMs - clipStartMs_) >= kLongestClipMs) return stopClip(frameStartMs);
    Picture* slot = worker_->frames.beginPush();
    if (slot == nullptr) {
        ++droppedPictures_;
        return;
    }
    slot->atMs = frameStartMs;
    slot->durationMs = frameMs;
    slot->pixels = world.OutputBuffer;
    worker_->frames.endPush();
}

std::string Capture::title(uint32_t nowMs) {
    if (worker_) takeReports(nowMs);
    if (recording_) {
        const uint32_t seconds = (nowMs - clipStartMs_) / 1000;
        char text[64];
        std::snprintf(text, sizeof text, "vonkel - recording %u:%02u", seconds / 60, seconds % 60);
        return text;
    }
    if (!notice_.empty() && nowMs - noticeMs_ < 2000) return "vonkel - " + notice_;
    return "vonkel";
}

void Capture::takeReports(uint32_t nowMs) {
    while (const Report* r = worker_->reports.beginPop()) {
        const Report report = *r;
        worker_->reports.endPop();
        if (report.kind == Report::ClipFailed && recording_) {
            // The clip cannot go on; its file is already gone.
            setSoundCapture(false);
            recording_ = false;
        }
        if (report.kind == Report::Saved) {
            if (settings_.verbose) {
                std::printf("saved %s\n", report.text);
                std::fflush(stdout);
            }
            notice_ = "saved " + std::filesystem::path(report.text).filename().string();
        } else if (report.text[0] != '\0') {
            sayLine(std::string("vonkel: ") + report.text);
            notice_ = "capture failed (see the terminal)";
        }
        noticeMs_ = nowMs;
    }
}

void Capture::finish() {
    if (!worker_) return;
    if (recording_) stopClip(millisecondClock());
    worker_->join();  // the thread writes what it has, then ends
    takeReports(0);
    worker_.reset();
}

}  // namespace vonkel
