// The lab's videos and sound formats, read back with FFmpeg's own tools
// (ffprobe, ffmpeg): the lossless video holds exactly the pictures of
// --shots and the samples of --wav; the MP4 has the run's length, size and
// sound; the sound formats decode to the run's length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "lab_child.h"
#include "lab_test_support.h"
#include "tools/lab_commands.h"

namespace vonkel::lab {
namespace {

using test::TempDir;

// Standard output of a shell command (FFmpeg's tools), and its status.
std::string run(const std::string& command, int* status = nullptr) {
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return text;
    char chunk[1 << 16];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
    const int result = ::pclose(pipe);
    if (status != nullptr) *status = result;
    return text;
}

void lab(const std::vector<std::string>& args, int expected = 0) {
    std::ostringstream out, err;
    ASSERT_EQ(runLab(args, out, err), expected) << err.str();
}

double probe(const std::string& file, const std::string& entries, const std::string& stream = "") {
    const std::string text = run("ffprobe -v error " + stream + " -show_entries " + entries +
                                 " -of default=noprint_wrappers=1:nokey=1 '" + file + "'");
    return std::atof(text.c_str());
}

std::vector<float> decodeSamples(const std::string& file) {
    const std::string raw = run("ffmpeg -v error -i '" + file + "' -map 0:a -ac 1 -ar 44100 -f f32le -");
    std::vector<float> samples(raw.size() / 4);
    std::memcpy(samples.data(), raw.data(), samples.size() * 4);
    return samples;
}

class LabMedia : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "FFmpeg's tools (ffmpeg, ffprobe) are not installed";
        }
    }
    TempDir dir;
};

TEST_F(LabMedia, TheLosslessVideoHoldsTheShotsAndTheWavExactly) {
    dir.write("keys.txt", "0 right,z\n20 escape\n21 -\n");
    lab({"play", "--seed", "4", "--frames", "45", "--keys", dir.file("keys.txt"), "--video", dir.file("a.mkv"),
         "--wav", dir.file("a.wav"), "--shots", dir.file("s"), "--every", "1"});
    // One picture per frame, at the frame's own time: 16 ms, then 25 ms in the scope view.
    const std::string frames =
        run("ffmpeg -v error -i '" + dir.file("a.mkv") + "' -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -");
    constexpr size_t kFrameBytes = 640 * 480 * 3;
    ASSERT_EQ(frames.size(), 45 * kFrameBytes);
    for (int f = 0; f < 45; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "s/frame-%06d.png", f);
        const test::Png shot = test::readPng(dir.file(name));
        ASSERT_EQ(shot.pixels.size(), 640u * 480u);
        for (size_t i = 0; i < shot.pixels.size(); ++i) {
            const auto* p = reinterpret_cast<const unsigned char*>(frames.data()) + f * kFrameBytes + 3 * i;
            ASSERT_EQ(static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]), shot.pixels[i]) << "frame " << f;
        }
    }
    EXPECT_EQ(run("ffprobe -v error -select_streams v -show_entries frame=pts_time -of csv=p=0 '" + dir.file("a.mkv") +
                  "' | head -n 23 | tail -n 4"),
              "0.304000\n0.320000\n0.345000\n0.370000\n");  // Escape in frame 20 (320 ms): 16 ms, then 25 ms
    const std::string wav = dir.read("a.wav");
    const std::string sound = run("ffmpeg -v error -i '" + dir.file("a.mkv") + "' -map 0:a -f f32le -");
    EXPECT_EQ(sound.size(), wav.size() - 80);
    EXPECT_TRUE(sound == wav.substr(80)) << "the samples differ";
}

// FFmpeg gives every Matroska file random identifiers: the same game is
// the same file but for them, and so every packet of it.
TEST_F(LabMedia, TheReplayOfARunMakesTheVideoOfItsPlay) {
    dir.write("keys.txt", "0 right,z\n20 escape\n21 -\n60 escape\n");
    lab({"play", "--seed", "4", "--frames", "120", "--keys", dir.file("keys.txt"), "--video", dir.file("p.mkv"), "--run",
         dir.file("r.vonkelrun")});
    lab({"replay", dir.file("r.vonkelrun"), "--video", dir.file("r.mkv")});
    const auto packets = [&](const std::string& name) {
        return run("ffmpeg -v error -i '" + dir.file(name) + "' -map 0 -c copy -f framemd5 -");
    };
    const std::string played = packets("p.mkv");
    // Escape in the scope view quits in frame 60, which has no picture.
    std::istringstream lines(played);
    int pictures = 0;
    for (std::string line; std::getline(lines, line);) pictures += line.starts_with("0,");
    EXPECT_EQ(pictures, 60);
    EXPECT_EQ(packets("r.mkv"), played);
    EXPECT_EQ(dir.read("r.mkv").size(), dir.read("p.mkv").size());
}

TEST_F(LabMedia, TheMp4HasTheRunsLengthSizeAndSound) {
    lab({"play", "--seed", "7", "--frames", "250", "--video", dir.file("b.mp4"), "--wav", dir.file("b.wav")});
    // 250 frames of 16 ms: 4 s; the sound, every block started by the last frame.
    EXPECT_NEAR(probe(dir.file("b.mp4"), "format=duration"), 4.0, 0.017);
    EXPECT_EQ(probe(dir.file("b.mp4"), "stream=width", "-select_streams v"), 640);
    EXPECT_EQ(probe(dir.file("b.mp4"), "stream=height", "-select_streams v"), 480);
    EXPECT_EQ(run("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + dir.file("b.mp4") + "'"),
              "h264\naac\n");
    SF_INFO info;
    const size_t samples = test::readWav(dir.file("b.wav"), info).size();
    const std::vector<float> decoded = decodeSamples(dir.file("b.mp4"));
    EXPECT_NEAR(static_cast<double>(decoded.size()), static_cast<double>(samples), 1024.0);
    float loudest = 0;
    for (float s : decoded) loudest = std::max(loudest, std::fabs(s));
    EXPECT_GT(loudest, 0.01f) << "the sound is there";
}

TEST_F(LabMedia, SoundFormatsDecodeToTheSongsLength) {
    lab({"audio", "--seed", "3", "--seconds", "2", "--out", dir.file("song.wav")});
    SF_INFO info;
    const std::vector<float> wav = test::readWav(dir.file("song.wav"), info);
    for (const std::string name : {"song.flac", "song.ogg", "song.opus", "song.mp3"}) {
        lab({"audio", "--seed", "3", "--seconds", "2", "--out", dir.file(name)});
        const std::vector<float> decoded = decodeSamples(dir.file(name));
        // Lossy codecs pad and trim a little at the ends.
        EXPECT_NEAR(static_cast<double>(decoded.size()), static_cast<double>(wav.size()), 2048.0) << name;
        if (name == "song.flac") {
            ASSERT_EQ(decoded.size(), wav.size());
            for (size_t i = 0; i < wav.size(); ++i) ASSERT_NEAR(decoded[i], wav[i], 1.0 / (1 << 23)) << i;
        }
    }
    // --format for a name that says nothing, and for standard output.
    lab({"audio", "--seed", "3", "--seconds", "2", "--format", "flac", "--out", dir.file("plain")});
    EXPECT_EQ(dir.read("plain").substr(0, 4), "fLaC");
    test::Child child = test::start({"audio", "--seed", "3", "--seconds", "1", "--format", "ogg", "--out", "-"});
    child.wait();
    EXPECT_EQ(child.output.substr(0, 4), "OggS");
}

TEST_F(LabMedia, UnknownFormatsAreRefusedWithTheListAndWriteErrorsHaveOneLine) {
    for (const auto& [args, words] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"audio", "--seed", "1", "--seconds", "1", "--out", dir.file("a.xyz")}, "wav, flac, ogg, opus, mp3"},
             {{"audio", "--seed", "1", "--seconds", "1", "--format", "aiff", "--out", "-"}, "wav, flac, ogg, opus, mp3"},
             {{"play", "--seed", "1", "--frames", "5", "--video", dir.file("v.avi")}, ".mp4 (H.264 and AAC) or .mkv"},
         }) {
        std::ostringstream out, err;
        EXPECT_EQ(runLab(args, out, err), kExitUsage);
        EXPECT_NE(err.str().find(words), std::string::npos) << err.str();
    }
    std::ostringstream out, err;
    EXPECT_EQ(runLab({"play", "--seed", "1", "--frames", "200", "--video", "/dev/full"}, out, err), kExitUsage)
        << "a device has no extension";
    EXPECT_EQ(runLab({"play", "--seed", "1", "--frames", "200", "--video", "/dev/full.mkv"}, out, err), kExitUsage);
    test::Child child = test::start({"play", "--seed", "1", "--frames", "100", "--video", "-"},
                                    [] { ::freopen("/dev/full", "w", stdout); });
    EXPECT_EQ(test::exitStatusOf(child.wait()), kExitFailure);
    EXPECT_EQ(std::count(child.errors.begin(), child.errors.end(), '\n'), 1) << child.errors;
    EXPECT_TRUE(dir.list().empty());
}

}  // namespace
}  // namespace vonkel::lab
