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

}  // namespace
}  // namespace vonkel::lockstep
