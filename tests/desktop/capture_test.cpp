// Screenshots and clips of the desktop game, without a window: the frame
// loop's calls on this thread, a stand-in for the audio callback on another,
// the capture thread writing the files (run in the ThreadSanitizer build
// too). And the names and folders of what is captured.
#include "desktop/capture/capture.h"
#include "desktop/capture/clip.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "core/world.h"
#include "desktop/messages.h"
#include "desktop/spsc_ring.h"
#include "game/game.h"
#include "lockstep/key_script.h"
#include "lockstep/run_player.h"
#include "tools/lab_test_support.h"

namespace vonkel {
namespace {

using lab::test::TempDir;

TEST(CaptureNames, DateTimeAndSongAndAFreeNumberForATakenName) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 9;
    local.tm_hour = 19;
    local.tm_min = 30;
    local.tm_sec = 5;
    EXPECT_EQ(captureName(local, 1234567, "png"), "vonkel-20261209-193005-song-1234567.png");
    EXPECT_EQ(captureName(local, 0, "mp4", 3), "vonkel-20261209-193005-song-0-3.mp4");
}

TEST(CaptureNames, ThePicturesFolderIsTheUsersOrHomesPictures) {
    EXPECT_EQ(picturesFolderFrom("# comment\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "/home/a"), "/home/a/Bilder");
    EXPECT_EQ(picturesFolderFrom("XDG_PICTURES_DIR=\"/data/pics\"\n", "/home/a"), "/data/pics");
    EXPECT_EQ(picturesFolderFrom("XDG_MUSIC_DIR=\"$HOME/Music\"\n", "/home/a"), "/home/a/Pictures");
    EXPECT_EQ(picturesFolderFrom("XDG_PICTURES_DIR=\"relative\"\n", "/home/a"), "/home/a/Pictures");
    EXPECT_EQ(picturesFolderFrom("", "/home/a"), "/home/a/Pictures");
    // The file quotes as a shell does.
    EXPECT_EQ(picturesFolderFrom("XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\" \\$5\"\n", "/home/a"), "/home/a/My \"Pics\" $5");
}

TEST(SpscRing, HandsEveryRecordOverInOrderAndRefusesWhenFull) {
    SpscRing<int, 4> small;
    for (int i = 0; i < 4; ++i) {
        int* slot = small.beginPush();
        ASSERT_NE(slot, nullptr);
        *slot = i;
        small.endPush();
    }
    EXPECT_EQ(small.beginPush(), nullptr);  // full: the producer drops, never waits
    EXPECT_EQ(*small.beginPop(), 0);
    small.endPop();
    EXPECT_NE(small.beginPush(), nullptr);

    auto ring = std::make_unique<SpscRing<long, 64>>();
    constexpr long kCount = 20000;
    std::thread producer([&] {
        for (long i = 0; i < kCount;) {
            if (long* slot = ring->beginPush()) {
                *slot = i++;
                ring->endPush();
            } else {
                std::this_thread::yield();
            }
        }
    });
    long expected = 0;
    while (expected < kCount) {
        if (const long* value = ring->beginPop()) {
            ASSERT_EQ(*value, expected);
            ++expected;
            ring->endPop();
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
}

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("ffprobe -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
        world->songNumber = 77;
    }
    static std::string probe(const std::string& file, const std::string& entries) {
        std::string text;
        FILE* pipe = ::popen(("ffprobe -v error -show_entries " + entries + " -of csv=p=0 '" + file + "'").c_str(), "r");
        char chunk[256];
        for (size_t n; pipe != nullptr && (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
        if (pipe != nullptr) ::pclose(pipe);
        return text;
    }
    TempDir dir;
    std::unique_ptr<World> world = std::make_unique<World>();
    std::unique_ptr<ClipTap> tap = std::make_unique<ClipTap>();
    std::unique_ptr<RunTap> run = std::make_unique<RunTap>();
};

TEST_F(CaptureTest, AClipHoldsThePicturesAndTheSoundAndAScreenshotThePicture) {
    const Messages messages;
    auto capture = std::make_unique<Capture>(Capture::Settings{dir.path().string(), false}, *tap, *run, 77, messages);
    constexpr uint32_t kStart = 4'000'000'000u;  // the clock wraps during the clip
    world->OutputBuffer.fill(0x123456);
    capture->screenshot(*world);
    capture->toggleClip(*world, kStart);
    ASSERT_TRUE(capture->recording());

    // The audio callback's stand-in: a block every 11.6 ms of the clock, as
    // the pictures' clock reaches it.
    std::atomic<int32_t> shownMs{0};
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        auto& ring = tap->ring;
        for (uint64_t block = 0; !stop; ++block) {
            const auto at = static_cast<int32_t>(block * 512 * 1000 / 44100);
            while (!stop && shownMs < at) std::this_thread::yield();
            if (CapturedSound* slot = ring.beginPush()) {
                slot->sequence = block;
                slot->clockMs = kStart + static_cast<uint32_t>(at);
                slot->frames = kBlockFrames;
                for (int i = 0; i < kBlockFrames; ++i) slot->samples[i] = (i % 100) / 200.0f;
                ring.endPush();
            }
        }
    });
    for (int frame = 0; frame < 125; ++frame) {  // 2 s of 16 ms frames
        world->OutputBuffer.fill(0x010203u * static_cast<uint32_t>(frame));
        capture->pictureShown(*world, kStart + 16u * static_cast<uint32_t>(frame));
        shownMs = 16 * frame;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop = true;
    audio.join();
    capture->toggleClip(*world, kStart + 2000);
    EXPECT_FALSE(capture->recording());
    capture.reset();

    std::vector<std::string> files = dir.list();
    ASSERT_EQ(files.size(), 2u);
    // (Named by the second each was asked for: the two may differ.)
    if (files[0].ends_with(".png")) std::swap(files[0], files[1]);
    EXPECT_TRUE(files[0].starts_with("vonkel-") && files[0].ends_with("-song-77.mp4")) << files[0];
    EXPECT_TRUE(files[1].ends_with("-song-77.png")) << files[1];
    const double duration = std::atof(probe(dir.file(files[0]), "format=duration").c_str());
    EXPECT_NEAR(duration, 2.0, 0.05);  // 125 pictures of 16 ms, and the sound of those 2 s
    EXPECT_EQ(probe(dir.file(files[0]), "stream=codec_name"), "h264\naac\n");
    const lab::test::Png shot = lab::test::readPng(dir.file(files[1]));
    ASSERT_EQ(shot.pixels.size(), world->OutputBuffer.size());
    for (uint32_t pixel : shot.pixels) ASSERT_EQ(pixel, 0x123456u);
}

TEST_F(CaptureTest, AFolderThatCannotBeMadeIsSaidOnceAndNothingIsWritten) {
    dir.write("file", "");
    testing::internal::CaptureStderr();
    std::string title;
    {
        const Messages messages;
        Capture capture({dir.file("file/captures"), false}, *tap, *run, 77, messages);
        capture.screenshot(*world);
        for (int tries = 0; tries < 500 && title.find("failed") == std::string::npos; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            title = capture.title(100);
        }
        EXPECT_EQ(capture.title(2200), "vonkel");  // two seconds later
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(title, "vonkel - capture failed (see the terminal)");
    EXPECT_TRUE(said.starts_with("vonkel: cannot make the capture folder")) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    EXPECT_EQ(dir.list(), std::vector<std::string>{"file"});
}

// The desktop's two threads taken in turns on one: the audio callback
// renders a block every 11.6 ms, the frame loop a frame every 16 ms with its
// step marks and the capture's calls, and now and then a block falls inside
// a frame's update. F10's run replays with every picture and block equal.
TEST_F(CaptureTest, ARunSavedWithF10ReplaysEveryPictureAndBlock) {
    const Messages messages;
    auto played = std::make_unique<World>();
    auto shared = std::make_unique<CallbackShared>();
    shared->world = played.get();
    auto capture = std::make_unique<Capture>(Capture::Settings{dir.path().string(), false}, shared->clip,
                                             shared->run, 4321, messages);
    std::atomic<uint64_t>& steps = shared->run.steps;
    float out[kBlockFrames];
    double audioMs = 0;
    const auto renderUntil = [&](double ms) {
        for (; audioMs <= ms; audioMs += 512 * 1000.0 / 44100) {
            audioCallback(nullptr, out, kBlockFrames, nullptr, 0, shared.get());
        }
    };
    renderUntil(30);  // before the first game: the zero World
    ++steps;
    startGame(*played, 4321);
    ++steps;
    const uint8_t pattern[] = {lockstep::kKeyRight, lockstep::kKeyDown | lockstep::kKeyZ, 0, lockstep::kKeyLeft,
                               lockstep::kKeyEscape, 0, lockstep::kKeyZ, lockstep::kKeyUp};
    int frames = 0;
    for (int frame = 0; frame < 900; ++frame, ++frames) {
        renderUntil(50 + 16.0 * frame);
        uint8_t keys = pattern[(frame / 45) % 8];
        if (keys == lockstep::kKeyEscape && frame % 45 >= 5) keys = 0;  // into the scope view, not out of the game
        ++steps;
        if (frame % 37 == 5) renderUntil(audioMs);  // a block while the update runs
        const FrameRequest request = updateFrame(*played, lockstep::keyStateOf(keys));
        ++steps;
        capture->framePlayed(*played, keys, request.quit);
        if (request.quit) {
            ++frames;
            break;
        }
    }
    capture->saveRun(*played);
    capture.reset();

    std::string runFile;
    for (const std::string& name : dir.list()) {
        if (name.ends_with(".vonkelrun")) runFile = name;
    }
    const std::string song = "-song-" + std::to_string(played->songNumber) + ".vonkelrun";
    ASSERT_TRUE(runFile.starts_with("vonkel-") && runFile.ends_with(song)) << runFile;
    lockstep::Run run;
    ASSERT_EQ(lockstep::readRun(dir.read(runFile), run), "");
    EXPECT_EQ(run.seed, 4321u);
    EXPECT_EQ(run.from, "desktop vonkel " VONKEL_VERSION);
    const lockstep::RunCheck check = lockstep::playRun(run);
    EXPECT_EQ(check.picturesEqual, check.pictures) << check.summary();
    EXPECT_EQ(check.soundsEqual, check.sounds) << check.summary();
    EXPECT_GT(check.overlappedBlocks, 10) << check.summary();
    EXPECT_EQ(check.pictures, frames);
}

// The clip's sound as 10 ms loudness steps: true where it sounds.
std::vector<bool> soundingSteps(const std::string& file) {
    std::vector<bool> steps;
    FILE* pipe = ::popen(("ffmpeg -v error -i '" + file + "' -f f32le -ac 1 -ar 44100 -").c_str(), "r");
    float window[441];
    while (pipe != nullptr && std::fread(window, sizeof(float), 441, pipe) == 441) {
        double energy = 0;
        for (float x : window) energy += double{x} * x;
        steps.push_back(energy / 441 > 0.01);
    }
    if (pipe != nullptr) ::pclose(pipe);
    return steps;
}

TEST_F(CaptureTest, AClipsSoundKeepsTimeThroughLostBlocksAndLastsAsLongAsItsPictures) {
    ClipWriter clip;
    ASSERT_EQ(clip.open(dir.file("c.mp4"), 1000), "");
    std::vector<uint32_t> picture(kOutputWidth * kOutputHeight, 0x405060);
    for (uint32_t at = 0; at < 2000; at += 16) ASSERT_EQ(clip.addPicture(picture.data(), 1000 + at), "");
    // The first block comes 60 ms into the clip; blocks 10..15 never reach
    // it; the sound stops for good at 0.76 s; the clip stops at 2 s.
    auto block = std::make_unique<CapturedSound>();
    for (int i = 0; i < kBlockFrames; ++i) block->samples[i] = i % 100 < 50 ? 0.5f : -0.5f;
    block->frames = kBlockFrames;
    for (uint64_t n = 0; n < 60; ++n) {
        if (n >= 10 && n < 16) continue;
        block->sequence = 100 + n;
        block->clockMs = 1060 + static_cast<uint32_t>(n * kBlockFrames * 1000 / kSampleRate);
        ASSERT_EQ(clip.addSound(*block), "");
    }
    clip.endAt(3000);
    ASSERT_EQ(clip.finish(), "");

    const std::vector<bool> steps = soundingSteps(dir.file("c.mp4"));
    ASSERT_NEAR(static_cast<double>(steps.size()), 200.0, 3.0) << "the sound lasts as long as the pictures";
    const auto sounds = [&](int from, int to) {  // in 10 ms steps, a step of slack at each end
        int count = 0;
        for (int s = from + 2; s < to - 2; ++s) count += steps[static_cast<size_t>(s)];
        return count;
    };
    EXPECT_EQ(sounds(0, 6), 0) << "silence before the first block";
    EXPECT_EQ(sounds(6, 17), 7) << "the first ten blocks at 60 ms";
    EXPECT_EQ(sounds(17, 25), 0) << "six lost blocks are silence of their length";
    EXPECT_EQ(sounds(25, 76), 47) << "the rest where they belong";
    EXPECT_EQ(sounds(76, 200), 0) << "then silence to the end";
}

}  // namespace
}  // namespace vonkel
