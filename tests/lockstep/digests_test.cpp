#include "lockstep/digests.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vonkel::lockstep {
namespace {

uint64_t fnvOf(const std::string& text) {
    Fnv1a64 hash;
    for (char c : text) hash.addByte(static_cast<uint8_t>(c));
    return hash.value();
}

TEST(Fnv1a64, MatchesKnownVectorsTakesWordsLittleEndianAndPrintsSixteenLowercaseDigits) {
    EXPECT_EQ(hex16(fnvOf("")), "cbf29ce484222325");
    EXPECT_EQ(hex16(fnvOf("a")), "af63dc4c8601ec8c");
    EXPECT_EQ(hex16(fnvOf("foobar")), "85944171f73967e8");
    Fnv1a64 word, zeros;
    word.addU32LittleEndian(0x64636261u);  // "abcd"
    EXPECT_EQ(word.value(), fnvOf("abcd"));
    zeros.addU32LittleEndian(0);
    EXPECT_EQ(zeros.value(), fnvOf(std::string(4, '\0')));
    EXPECT_EQ(hex16(0), "0000000000000000");
    EXPECT_EQ(hex16(0xABCDEF0123456789ULL), "abcdef0123456789");
}

TEST(FrameDigests, DigestsTakeOneByteACellAndFourLittleEndianBytesAPixel) {
    auto world = std::make_unique<World>();
    world->TerrainGrid[1] = 2;
    world->Framebuffer[0] = 0x00112233u;

    Fnv1a64 grid;
    std::vector<uint8_t> cells(1200, 0);
    cells[1] = 2;
    grid.addBytes(cells);
    EXPECT_EQ(gridDigest(*world), grid.value());

    Fnv1a64 pixels;
    std::vector<uint8_t> bytes(76800 * 4, 0);
    bytes[0] = 0x33;
    bytes[1] = 0x22;
    bytes[2] = 0x11;
    pixels.addBytes(bytes);
    EXPECT_EQ(framebufferDigest(*world), pixels.value());
}

// The values come from a separate reading of the definition in digests.h;
// the digests are part of the run file format and must never move.
TEST(Digests32, FollowTheirDefinitionForAnyLengthAndSeeEveryWord) {
    EXPECT_EQ(soundDigest32({}), 0x26089e67u);
    const std::vector<float> odd{1.0f, -0.5f, 0.25f};  // a pair with a missing half
    EXPECT_EQ(soundDigest32(odd), 0xba1880c6u);
    std::vector<float> block(512);
    for (size_t k = 0; k < block.size(); ++k) block[k] = static_cast<float>(static_cast<double>(k) / 7.0);
    EXPECT_EQ(soundDigest32(block), 0x8d37f313u);

    auto world = std::make_unique<World>();
    for (size_t k = 0; k < world->Framebuffer.size(); ++k) world->Framebuffer[k] = static_cast<uint32_t>(k * 2654435761u);
    EXPECT_EQ(pictureDigest32(*world), 0xc47f0ec0u);
    // One bit of any word, in any lane and either half of a pair, moves it.
    for (size_t k : {size_t{0}, size_t{1}, size_t{6}, size_t{7}, size_t{76798}, size_t{76799}}) {
        world->Framebuffer[k] ^= 0x80000000u;
        EXPECT_NE(pictureDigest32(*world), 0xc47f0ec0u) << k;
        world->Framebuffer[k] ^= 0x80000000u;
    }
}

}  // namespace
}  // namespace vonkel::lockstep
