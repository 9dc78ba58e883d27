#include "desktop/capture/capture.h"

#include <cstdio>
#include <filesystem>

#include "desktop/clock.h"
#include "desktop/messages.h"
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

Capture::Capture(Settings settings, ClipTap& tap, const Messages& messages)
    : settings_(std::move(settings)), tap_(tap), messages_(messages) {}

Capture::~Capture() {
    if (!thread_) return;
    if (recording_) stopClip(millisecondClock());
    thread_->finish();  // the thread writes what it has, then ends
    takeReports(0);
}

CaptureThread& Capture::thread() {
    if (!thread_) thread_ = std::make_unique<CaptureThread>(captureFolder(settings_.folder), tap_);
    return *thread_;
}

void Capture::screenshot(const World& world) {
    CaptureThread& t = thread();
    CapturedPicture* slot = t.shots.beginPush();
    CaptureOrder* order = t.orders.beginPush();
    if (slot == nullptr || order == nullptr) return;  // two already waiting: this one is skipped
    slot->pixels = world.OutputBuffer;
    t.shots.endPush();
    *order = {CaptureOrder::Screenshot, 0, world.songNumber, localNow()};
    t.orders.endPush();
}

void Capture::toggleClip(const World& world, uint32_t nowMs) {
    if (recording_) return stopClip(nowMs);
    CaptureThread& t = thread();
    CaptureOrder* order = t.orders.beginPush();
    if (order == nullptr) return;
    *order = {CaptureOrder::StartClip, nowMs, world.songNumber, localNow()};
    tap_.on = true;
    t.orders.endPush();
    recording_ = true;
    clipStartMs_ = nowMs;
    droppedPictures_ = 0;
}

void Capture::stopClip(uint32_t nowMs) {
    CaptureOrder* order = thread().orders.beginPush();
    if (order == nullptr) return;  // tried again next frame
    tap_.on = false;
    *order = {CaptureOrder::StopClip, nowMs, 0, {}};
    thread_->orders.endPush();
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
    if (thread_) takeReports(nowMs);
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
    while (const CaptureReport* r = thread_ ? thread_->reports.beginPop() : nullptr) {
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
