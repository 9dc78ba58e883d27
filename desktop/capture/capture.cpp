#include "desktop/capture/capture.h"

#include <cstdio>
#include <filesystem>

#include "desktop/clock.h"
#include "desktop/messages.h"
#include "lockstep/digests.h"
#include "lockstep/decimal.h"

namespace vonkel {
namespace {

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

Capture::Capture(Settings settings, ClipTap& clip, RunTap& run, uint32_t seed, const Messages& messages)
    : settings_(std::move(settings)),
      tap_(clip),
      messages_(messages),
      thread_(std::make_unique<CaptureThread>(captureFolder(settings_.folder), clip, run, seed)) {}

Capture::~Capture() {
    if (recording_) stopClip(millisecondClock());
    if (settings_.saveRunAtExit) order(CaptureOrder::SaveRun, song_, 0);
    thread_->finish();  // the thread writes what it has, then ends
    takeReports(0);
}

// An order to the capture thread, with the song and the local time for
// the file's name. False when the thread has too many waiting.
bool Capture::order(CaptureOrder::Kind kind, uint32_t song, uint32_t atMs) {
    CaptureOrder* slot = thread_->orders.beginPush();
    if (slot == nullptr) return false;
    *slot = {kind, atMs, song, localNow()};
    thread_->orders.endPush();
    return true;
}

void Capture::screenshot(const World& world) {
    CapturedPicture* slot = thread_->shots.beginPush();
    if (slot == nullptr || thread_->orders.beginPush() == nullptr) return;  // too many waiting: skipped
    slot->pixels = world.OutputBuffer;
    thread_->shots.endPush();
    order(CaptureOrder::Screenshot, world.songNumber, 0);
}

void Capture::saveRun(const World& world) { order(CaptureOrder::SaveRun, world.songNumber, 0); }

void Capture::framePlayed(const World& world, uint8_t keys, bool quit) {
    song_ = world.songNumber;
    ShownFrameMark* mark = thread_->frameMarks.beginPush();
    if (mark != nullptr) {
        *mark = {keys, lockstep::pictureDigest32(world), quit};
        thread_->frameMarks.endPush();
    }
}

void Capture::toggleClip(const World& world, uint32_t nowMs) {
    if (recording_) return stopClip(nowMs);
    tap_.on = true;
    if (!order(CaptureOrder::StartClip, world.songNumber, nowMs)) {
        tap_.on = false;
        return;
    }
    recording_ = true;
    clipStartMs_ = nowMs;
    droppedPictures_ = 0;
}

void Capture::stopClip(uint32_t nowMs) {
    if (!order(CaptureOrder::StopClip, 0, nowMs)) return;  // tried again next frame
    tap_.on = false;
    recording_ = false;
    if (settings_.verbose && droppedPictures_ > 0) {
        std::printf("clip: %lld pictures dropped (the encoder was behind)\n", static_cast<long long>(droppedPictures_));
        std::fflush(stdout);
    }
}

void Capture::pictureShown(const World& world, uint32_t frameStartMs) {
    if (!recording_) return;
    if (frameStartMs - clipStartMs_ >= kLongestClipMs) return stopClip(frameStartMs);
    CapturedPicture* slot = thread_->frames.beginPush();
    if (slot == nullptr) {
        ++droppedPictures_;
        return;
    }
    slot->atMs = frameStartMs;
    slot->pixels = world.OutputBuffer;
    thread_->frames.endPush();
}

std::string Capture::title(uint32_t nowMs) {
    takeReports(nowMs);
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
    while (const CaptureReport* r = thread_->reports.beginPop()) {
        const CaptureReport report = *r;
        thread_->reports.endPop();
        if (report.kind == CaptureReport::ClipFailed && recording_) {
            // The clip cannot go on; its file is already gone.
            tap_.on = false;
            recording_ = false;
        }
        if (report.kind == CaptureReport::Saved) {
            if (settings_.verbose) {
                std::printf("saved %s\n", lockstep::printable(report.text, report.text.size()).c_str());
                std::fflush(stdout);
            }
            notice_ = "saved " + std::filesystem::path(report.text).filename().string();
        } else if (!report.text.empty()) {
            messages_.say(std::string("vonkel: ") + report.text);
            notice_ = "capture failed (see the terminal)";
        }
        noticeMs_ = nowMs;
    }
}

}  // namespace vonkel
