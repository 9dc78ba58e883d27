#pragma once
// Screenshots (F12), clips (F9) and runs (F10) of the desktop game. The
// frame loop calls in on the main thread and never waits: a capture thread
// of its own (capture_thread.h) writes the files. A
// screenshot is the picture as shown (640 x 480, PNG); a clip is the pictures
// at the game's own frame times and the sound as the audio callback rendered
// it (after the master gain, before the player's level and mute), as MP4; a
// run is the whole play since the launch (lockstep/run_file.h), which
// vonkel-lab and the web page replay: the capture thread keeps it as it is
// played, at most 3 hours of it (about 12.5 MB).
// Files go to the capture folder, named by the date, the time and the song,
// never over an existing file, and appear only when complete.
#include <cstdint>
#include <memory>
#include <string>

#include "desktop/capture/capture_thread.h"

namespace vonkel {

class Messages;

class Capture {
public:
    struct Settings {
        std::string folder;    // --capture-dir, or empty for the pictures folder's vonkel/
        bool verbose = false;  // print each saved file's path and a clip's dropped pictures
        bool saveRunAtExit = false;
    };
    static constexpr uint32_t kLongestClipMs = 10 * 60 * 1000;

    // `clip` and `run`: the sound out's taps on the sound; `seed`: the one
    // the first game is started with.
    Capture(Settings settings, ClipTap& clip, RunTap& run, uint32_t seed, const Messages& messages);
    // Finishes a clip that is recording and waits for every file.
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // F12: world.OutputBuffer, as shown, to a PNG file.
    void screenshot(const World& world);
    // F9: starts a clip at `nowMs` (the millisecond clock), or stops and
    // saves the one that is recording.
    void toggleClip(const World& world, uint32_t nowMs);
    // After each frame's update: the frame, for the run (its keys' mask,
    // whether it asked to quit, and a digest of its picture).
    void framePlayed(const World& world, uint8_t keys, bool quit);
    // After each shown frame: the picture goes to the clip that is recording
    // (or is dropped and counted when the capture thread is behind); a clip
    // stops by itself after kLongestClipMs.
    void pictureShown(const World& world, uint32_t frameStartMs);
    // F10: the run so far to a .vonkelrun file.
    void saveRun(const World& world);
    // The window's title for now: "vonkel", "vonkel - recording 0:12", or for
    // two seconds after a save "vonkel - saved NAME" (or what went wrong).
    // Also says what the capture thread has to say.
    std::string title(uint32_t nowMs);
    bool recording() const { return recording_; }

private:
    void stopClip(uint32_t nowMs);
    bool order(CaptureOrder::Kind kind, uint32_t song, uint32_t atMs);
    void takeReports(uint32_t nowMs);

    Settings settings_;
    ClipTap& tap_;
    const Messages& messages_;
    std::unique_ptr<CaptureThread> thread_;
    bool recording_ = false;
    uint32_t clipStartMs_ = 0;
    int64_t droppedPictures_ = 0;
    uint32_t song_ = 0;  // the song of the last frame played
    std::string notice_;  // the last save or failure, for the title
    uint32_t noticeMs_ = 0;
};

}  // namespace vonkel
