#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "lockstep/wav_format.h"
#include "output/output_file.h"
#include "output/png_writer.h"
#include "output/wav_writer.h"
#include "tools/lab_test_support.h"

namespace vonkel::output {
namespace {

namespace test = lab::test;
using test::TempDir;

TEST(OutputFile, AppearsOnlyWhenCommitted) {
    TempDir dir;
    const std::string target = dir.file("out.txt");
    {
        OutputFile file;
        ASSERT_EQ(file.open(target), "");
        ASSERT_TRUE(file.write("hello"));
        ASSERT_EQ(file.finish(), "");
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_EQ(dir.list().size(), 1u);  // the temporary, beside the target
        ASSERT_EQ(file.publish(), "");
    }
    EXPECT_EQ(dir.read("out.txt"), "hello");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"out.txt"}));
}

TEST(OutputFile, LeavesNothingWhenNotCommitted) {
    TempDir dir;
    dir.write("keep.txt", "old");
    {
        OutputFile file;
        ASSERT_EQ(file.open(dir.file("keep.txt")), "");
        ASSERT_TRUE(file.write(std::string(100000, 'x')));  // past the buffer
    }
    // The earlier file is untouched and no temporary is left.
    EXPECT_EQ(dir.read("keep.txt"), "old");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"keep.txt"}));
}

TEST(OutputFile, ReportsPathsThatCannotBeFiles) {
    TempDir dir;
    OutputFile file;
    EXPECT_NE(file.open(dir.file("missing/out.txt")), "");
    EXPECT_NE(file.open(dir.path().string()), "");  // a directory
    EXPECT_NE(file.open(dir.file("missing/")), "");
    EXPECT_NE(file.open(""), "");
    EXPECT_TRUE(dir.list().empty());
}

TEST(OutputFile, OverwritesEarlierBytesInPlace) {
    TempDir dir;
    OutputFile file;
    ASSERT_EQ(file.open(dir.file("h.bin"), {.seekable = true}), "");
    ASSERT_TRUE(file.write("....body"));
    ASSERT_TRUE(file.writeAt(0, "HEAD"));
    ASSERT_EQ(file.commit(), "");
    EXPECT_EQ(dir.read("h.bin"), "HEADbody");
}

// A pipe reached by a path, as /dev/stdout is when standard output is a pipe.
struct NamedPipe {
    int fds[2] = {-1, -1};
    NamedPipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~NamedPipe() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    std::string writePath() const { return "/proc/self/fd/" + std::to_string(fds[1]); }
    std::string readAll() {
        ::close(std::exchange(fds[1], -1));
        std::string text;
        char chunk[4096];
        for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<size_t>(n));
        return text;
    }
};

TEST(OutputFile, APipeIsWrittenInPlaceAndSpooledWhenItMustSeek) {
    for (const bool needsSeek : {false, true}) {
        NamedPipe pipe;
        OutputFile file;
        ASSERT_EQ(file.open(pipe.writePath(), {.seekable = needsSeek}), "");
        ASSERT_TRUE(file.write("....body"));
        EXPECT_EQ(file.writeAt(0, "HEAD"), needsSeek);
        const std::string closed = file.finish();
        EXPECT_EQ(closed.empty(), needsSeek) << closed;
        if (needsSeek) {
            EXPECT_EQ(pipe.readAll(), "HEADbody");
        } else {
            EXPECT_NE(closed.find(pipe.writePath()), std::string::npos) << closed;
        }
    }
}

TEST(OutputFile, AWriteErrorNamesTheFile) {
    if (!std::filesystem::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    OutputFile file;
    ASSERT_EQ(file.open("/dev/full"), "");
    file.write(std::string(100000, 'x'));
    EXPECT_EQ(file.commit(), "cannot write '/dev/full': " + std::string(std::strerror(ENOSPC)));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

TEST(WavWriter, WritesMonoFloatSamplesExactly) {
    TempDir dir;
    std::vector<float> samples = {0.0f, -0.0f, 1.0f, -1.0f, 3.75f, -12.5f, 1e-30f, 0.123456789f,
                                  std::numeric_limits<float>::denorm_min()};
    for (int i = 0; i < 1000; ++i) samples.push_back(std::sin(static_cast<float>(i) * 0.01f) * 2.0f);

    WavWriter writer;
    ASSERT_EQ(writer.open(dir.file("a.wav")), "");
    ASSERT_EQ(writer.write(std::span<const float>(samples).first(5)), "");
    ASSERT_EQ(writer.write(std::span<const float>(samples).subspan(5)), "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.wav")));
    ASSERT_EQ(writer.finish(), "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.wav")));  // finished, not yet named
    ASSERT_EQ(writer.publish(), "");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"a.wav"}));

    SF_INFO info;
    EXPECT_EQ(test::bitsOf(test::readWav(dir.file("a.wav"), info)), test::bitsOf(samples));
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

TEST(WavWriter, TheHeaderIsTheSameWhetherTheLengthIsKnownOrNot) {
    TempDir dir;
    const std::vector<float> samples(700, 0.25f);
    WavWriter known, counted;
    ASSERT_EQ(known.open(dir.file("known.wav"), 700), "");
    ASSERT_EQ(counted.open(dir.file("counted.wav")), "");
    ASSERT_EQ(known.write(samples), "");
    ASSERT_EQ(counted.write(samples), "");
    ASSERT_EQ(known.commit(), "");
    ASSERT_EQ(counted.commit(), "");
    const std::string bytes = dir.read("known.wav");
    EXPECT_EQ(bytes, dir.read("counted.wav"));
    ASSERT_EQ(bytes.size(), 80u + 700u * 4u);
    EXPECT_EQ(bytes.substr(0, 80), lockstep::wavHeader(700));
    EXPECT_EQ(bytes.substr(76, 4), std::string("\xf0\x0a\0\0", 4));  // data bytes, little-endian
}

// A RIFF header's sizes end at 4 GiB; past them the header is RF64, whose
// 64-bit sizes players read instead of wrapped ones.
TEST(WavWriter, PastFourGibibytesTheHeaderIsRf64) {
    constexpr uint64_t kLastRiff = (0xFFFFFFFFull - 72) / 4;  // 72 + 4N must fit in 32 bits
    EXPECT_EQ(lockstep::wavHeader(kLastRiff).substr(0, 4), "RIFF");
    const uint64_t samples = 1'600'000ull * 16 * 44100 / 1000;  // 1.6 million frames of play, 4.5 GB
    const std::string header = lockstep::wavHeader(samples);
    ASSERT_EQ(header.size(), 80u);
    EXPECT_EQ(header, lockstep::rf64Header(samples));
    EXPECT_EQ(lockstep::wavHeader(kLastRiff + 1).substr(0, 4), "RF64");
    const auto u64At = [&](size_t at) {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(header[at + static_cast<size_t>(i)]);
        return v;
    };
    EXPECT_EQ(header.substr(12, 4), "ds64");
    EXPECT_EQ(u64At(20), 72 + samples * 4);  // the RIFF size
    EXPECT_EQ(u64At(28), samples * 4);       // the data size
    EXPECT_EQ(u64At(36), samples);           // the sample count
    EXPECT_EQ(header.substr(72, 4), "data");

    // The layout as a reader takes it, on a small file.
    TempDir dir;
    const std::vector<float> body(700, -0.5f);
    std::string bytes = lockstep::rf64Header(body.size());
    lockstep::appendWavSamples(bytes, body);
    dir.write("small.rf64.wav", bytes);
    SF_INFO info;
    EXPECT_EQ(test::bitsOf(test::readWav(dir.file("small.rf64.wav"), info)), test::bitsOf(body));
    EXPECT_EQ(info.format, SF_FORMAT_RF64 | SF_FORMAT_FLOAT);
}

TEST(WavWriter, AnUnfinishedFileLeavesNothingBehind) {
    TempDir dir;
    {
        WavWriter writer;
        ASSERT_EQ(writer.open(dir.file("b.wav")), "");
        const float one[] = {0.5f};
        ASSERT_EQ(writer.write(one), "");
    }
    EXPECT_TRUE(dir.list().empty());
    {
        WavWriter writer;  // the length was announced, the samples fell short
        ASSERT_EQ(writer.open(dir.file("b.wav"), 512), "");
    }
    EXPECT_TRUE(dir.list().empty());

    WavWriter nowhere;
    EXPECT_NE(nowhere.open(dir.file("no/such/dir/c.wav")), "");
    EXPECT_TRUE(dir.list().empty());
}

TEST(PngWriter, WritesRgbPixelsThatReadBack) {
    TempDir dir;
    constexpr int width = 5, height = 3;
    std::vector<uint32_t> pixels(width * height);
    for (int i = 0; i < width * height; ++i) {
        pixels[i] = static_cast<uint32_t>((i * 17) << 16 | (255 - i * 3) << 8 | (i * 40 % 256));
    }
    pixels[0] = 0xFF123456;  // the top byte is not part of the colour
    ASSERT_EQ(writePngFile(dir.file("p.png"), pixels, width, height), "");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"p.png"}));

    const test::Png png = test::readPng(dir.file("p.png"));
    EXPECT_EQ(png.width, static_cast<png_uint_32>(width));
    EXPECT_EQ(png.height, static_cast<png_uint_32>(height));
    EXPECT_EQ(png.format & PNG_FORMAT_FLAG_ALPHA, 0u);
    EXPECT_NE(png.format & PNG_FORMAT_FLAG_COLOR, 0u);
    for (uint32_t& p : pixels) p &= 0xFFFFFFu;
    EXPECT_EQ(png.pixels, pixels);
}

TEST(PngWriter, RejectsAMismatchedSizeAndLeavesNothing) {
    TempDir dir;
    std::vector<uint32_t> pixels(10);
    EXPECT_NE(writePngFile(dir.file("bad.png"), pixels, 4, 3), "");
    EXPECT_NE(writePngFile(dir.file("missing/x.png"), pixels, 5, 2), "");
    EXPECT_TRUE(dir.list().empty());
}

}  // namespace
}  // namespace vonkel::output
