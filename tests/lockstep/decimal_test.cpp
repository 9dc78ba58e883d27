#include "lockstep/decimal.h"

#include <gtest/gtest.h>

namespace vonkel::lockstep {
namespace {

TEST(ReadNumbers, Unsigned32IsPlainDecimal) {
    EXPECT_EQ(readUnsigned32("0"), 0u);
    EXPECT_EQ(readUnsigned32("4294967295"), 4294967295u);
    // Never octal, never hex, never a float: such text is refused, not guessed at.
    for (const char* bad : {"4294967296", "-1", "-0x1", "0x10", "010", "00", "+5", " 5", "5 ", "", "1e3", "1.0",
                            "99999999999999999999999999999"})
        EXPECT_FALSE(readUnsigned32(bad)) << bad;
}

TEST(ReadNumbers, IntegerRespectsItsRange) {
    EXPECT_EQ(readInteger("1", 1, 10), 1);
    EXPECT_EQ(readInteger("10", 1, 10), 10);
    EXPECT_FALSE(readInteger("0", 1, 10));
    EXPECT_FALSE(readInteger("11", 1, 10));
    EXPECT_EQ(readInteger("-3", -5, 5), -3);
    EXPECT_FALSE(readInteger("-", -5, 5));
    EXPECT_FALSE(readInteger("--3", -5, 5));
    // Long digit strings are out of range, not wrapped around.
    EXPECT_FALSE(readInteger("9999999999999999999", 0, 100));
    EXPECT_FALSE(readInteger("18446744073709551621", 0, 100));  // 2^64 + 5
    EXPECT_FALSE(readInteger("-9999999999999999999", -100, 0));
    EXPECT_FALSE(readInteger("0000000000000000000000042", 0, 100));
    // A sign only where the range has negative numbers.
    EXPECT_EQ(readInteger("-0", -5, 5), 0);
    EXPECT_FALSE(readInteger("-0", 0, 5));
    EXPECT_FALSE(readInteger("-05", -5, 5));
}

TEST(ReadNumbers, Float32RoundsOnceFromTheDecimal) {
    EXPECT_EQ(readFloat32("0.0003"), 0.0003f);
    EXPECT_EQ(readFloat32("100"), 100.0f);
    EXPECT_EQ(readFloat32("-2.5e1"), -25.0f);
    // 1 + 2^-24 + tiny: a double first would round to 1 + 2^-24 and then to
    // even (1.0); once, straight to float, it rounds up.
    EXPECT_EQ(readFloat32("1.000000059604644775390625000001"), 1.00000012f);
    // Exponents as other programs print them (Python's repr of 3.1e-05).
    EXPECT_EQ(readFloat32("3.1e-05"), 3.1e-05f);
    EXPECT_EQ(readFloat32("1E+2"), 100.0f);
    for (const char* bad : {"nan", "inf", "1e39" /* beyond float */, "0x1p3", "", ".", "1.5x", " 1", "+1", "01.5",
                            "1e", "e5", "--1", "1e5.5"})
        EXPECT_FALSE(readFloat32(bad)) << bad;
}

TEST(ReadNumbers, SecondsBecomeWholeBlocksExactly) {
    // ceil(S x 44100 / 512)
    EXPECT_EQ(readSecondsAsBlocks("1"), 87);      // 86.13
    EXPECT_EQ(readSecondsAsBlocks("2"), 173);     // 172.27
    EXPECT_EQ(readSecondsAsBlocks("0.05"), 5);    // 4.31
    EXPECT_EQ(readSecondsAsBlocks("5.12"), 441);  // exactly 441
    EXPECT_EQ(readSecondsAsBlocks("5.1200"), 441);
    EXPECT_EQ(readSecondsAsBlocks("5.120000001"), 442);
    EXPECT_EQ(readSecondsAsBlocks(".5"), 44);     // 43.07
    EXPECT_EQ(readSecondsAsBlocks("3."), 259);    // 258.4
    EXPECT_EQ(readSecondsAsBlocks("0.000000001"), 1);
    EXPECT_EQ(readSecondsAsBlocks("3600"), 310079);  // 310078.125
    for (const char* bad : {"0", "0.000", "3600.001", "-1", "1e2", ".", "", "1.2.3", "99999999999999999999",
                            "0.0000000001" /* finer than a nanosecond */, "01", "00.5", "+1", "2e1", " 1"})
        EXPECT_FALSE(readSecondsAsBlocks(bad)) << bad;
}

TEST(PrintableText, EscapesControlCharactersOnceAndIsShort) {
    EXPECT_EQ(printable("a\nb\x01\x7f\tc"), "a\\nb\\x01\\x7f\\tc");
    EXPECT_EQ(printable(printable("a\nb")), printable("a\nb")) << "printing it again changes nothing";
    EXPECT_EQ(printable("Gr\xc3\xbc\xc3\x9f" "e"), "Gr\xc3\xbc\xc3\x9f" "e") << "UTF-8 stays";
    EXPECT_EQ(printable("abcdef", 3), "abc...");
}

}  // namespace
}  // namespace vonkel::lockstep
