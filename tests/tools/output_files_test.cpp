#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <vector>

#include "lab_test_support.h"
#include "tools/output_file.h"
#include "tools/png_writer.h"
#include "tools/wav_writer.h"

namespace vonkel::lab {
namespace {

using test::TempDir;

TEST(PendingFile, AppearsOnlyWhenCommitted) {
    TempDir dir;
    const std::string target = dir.file("out.txt");
    {
        PendingFile file;
        ASSERT_EQ(file.create(target), "");
        ASSERT_EQ(::write(file.fd(), "hello", 5), 5);
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_EQ(dir.list().size(), 1u);  // the temporary, beside the target
        EXPECT_EQ(std::filesystem::path(file.tempPath()).parent_path(), dir.path());
        ASSERT_EQ(file.commit(), "");
    }
    EXPECT_EQ(dir.read("out.txt"), "hello");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"out.txt"}));
}

TEST(PendingFile, LeavesNothingWhenNotCommitted) {
    TempDir dir;
    dir.write("keep.txt", "old");
    {
        PendingFile file;
        ASSERT_EQ(file.create(dir.file("keep.txt")), "");
        ASSERT_EQ(::write(file.fd(), "new", 3), 3);
    }
    // The earlier file is untouched and no temporary is left.
    EXPECT_EQ(dir.read("keep.txt"), "old");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"keep.txt"}));
}

TEST(PendingFile, ReportsPathsThatCannotBeFiles) {
    TempDir dir;
    PendingFile file;
    EXPECT_NE(file.create(dir.file("missing/out.txt")), "");
    EXPECT_NE(file.create(dir.path().string()), "");  // a directory
    EXPECT_NE(file.create(""), "");
    EXPECT_TRUE(dir.list().empty());
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
    EXPECT_EQ(writer.samplesWritten(), static_cast<long long>(samples.size()));
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"a.wav"}));

    SF_INFO info;
    EXPECT_EQ(test::bitsOf(test::readWav(dir.file("a.wav"), info)), test::bitsOf(samples));
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
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
}  // namespace vonkel::lab
