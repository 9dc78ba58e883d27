#pragma once
// The capture thread: takes orders, pictures and the clip's sound through
// lock-free rings, writes the files, and reports back the same way. No side
// ever waits on the other. Also where the files go and what they are called.
#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <thread>

#include "core/world.h"
#include "desktop/capture/clip.h"
#include "desktop/sound/sound_callback.h"
#include "desktop/spsc_ring.h"
#include "lockstep/run_recorder.h"

namespace vonkel {

// The user's pictures folder from the text of XDG's user-dirs.dirs
// (XDG_PICTURES_DIR="$HOME/Pictures", shell-quoted), else $HOME/Pictures.
std::string picturesFolderFrom(std::string_view userDirs, std::string_view home);

// `--capture-dir`, or the pictures folder's vonkel/ subfolder.
std::string captureFolder(const std::string& chosen);

// "vonkel-20261209-193000-song-1234567.png": the local date and time and the
// song's number; `attempt` 2, 3, ... adds "-2", "-3" before the extension:
// a name that another game took a moment before is never replaced.
std::string captureName(const std::tm& local, uint32_t songNumber, std::string_view extension, int attempt = 1);

struct CapturedPicture {
    uint32_t atMs;  // the frame's start on the millisecond clock
    std::array<uint32_t, kOutputWidth * kOutputHeight> pixels;
};

// What a run keeps of each frame (lockstep/run_recorder.h).
struct ShownFrameMark {
    uint8_t keys;     // the seven keys' mask the frame was played with
    uint32_t digest;  // pictureDigest32 of its picture
    bool quit;        // the frame asked to quit
};

struct CaptureOrder {
    enum Kind { Screenshot, StartClip, StopClip, SaveRun } kind;
    uint32_t atMs;
    uint32_t song;
    std::tm local;  // when it was asked for, for the file's name
};

struct CaptureReport {
    enum Kind { Saved, Failed, ClipFailed } kind;
    std::string text;  // the saved file's path, or what went wrong
};

class CaptureThread {
public:
    // The run from the game's launch, the first game played from `seed`.
    CaptureThread(std::string folder, ClipTap& tap, RunTap& runTap, uint32_t seed);
    ~CaptureThread() { finish(); }
    CaptureThread(const CaptureThread&) = delete;
    CaptureThread& operator=(const CaptureThread&) = delete;

    SpscRing<CaptureOrder, 8> orders;
    SpscRing<CapturedPicture, 2> shots;
    SpscRing<CapturedPicture, 8> frames;
    SpscRing<CaptureReport, 16> reports;
    SpscRing<ShownFrameMark, 1024> frameMarks;  // about 16 s of frames

    // Writes what it was given, then ends; its reports stay to be read.
    void finish();

private:
    void run();
    void report(CaptureReport::Kind kind, const std::string& text);
    bool makeFolder();
    std::string name(const CaptureOrder& order, const char* extension, int attempt) const;
    void screenshot(const CaptureOrder& order);
    void startClip(const CaptureOrder& order);
    void stopClip(uint32_t atMs);
    void failClip(const std::string& error);
    void takeClipInput();
    void takeRunInput();
    void saveRun(const CaptureOrder& order);

    std::string folder_;
    bool folderMade_ = false;
    ClipTap& tap_;
    ClipWriter clip_;  // the clip being written
    RunTap& run_;
    lockstep::RunRecorder recorder_;
    bool runBroken_ = false;
    std::atomic<bool> quitting_{false};
    std::thread thread_;  // last: it starts once everything above is made
};

}  // namespace vonkel
