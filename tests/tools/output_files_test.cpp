#include <gtest/gtest.h>
#include <png.h>
#include <sndfile.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "temp_dir.h"
#include "tools/output_file.h"
#include "tools/png_writer.h"
#include "tools/wav_writer.h"

namespace vonkel::lab {
namespace {

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

    SF_INFO info{};
    SNDFILE* in = sf_open(dir.file("a.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(in, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(info.frames, static_cast<sf_count_t>(samples.size()));
    std::vector<float> back(samples.size() + 10);
    ASSERT_EQ(sf_read_float(in, back.data(), static_cast<sf_count_t>(back.size())),
              static_cast<sf_count_t>(samples.size()));
    sf_close(in);
    for (size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(std::bit_cast<uint32_t>(back[i]), std::bit_cast<uint32_t>(samples[i])) << i;
    }
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

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.file("p.png").c_str())) << image.message;
    EXPECT_EQ(image.width, static_cast<png_uint_32>(width));
    EXPECT_EQ(image.height, static_cast<png_uint_32>(height));
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, 0u);
    EXPECT_NE(image.format & PNG_FORMAT_FLAG_COLOR, 0u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << image.message;
    for (int i = 0; i < width * height; ++i) {
        const uint32_t got = static_cast<uint32_t>(rgb[3 * i]) << 16 | static_cast<uint32_t>(rgb[3 * i + 1]) << 8 |
                             rgb[3 * i + 2];
        EXPECT_EQ(got, pixels[i] & 0xFFFFFFu) << i;
    }
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
