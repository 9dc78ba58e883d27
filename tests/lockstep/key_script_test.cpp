#include "lockstep/key_script.h"

#include <gtest/gtest.h>

#include <string>

namespace vonkel::lockstep {
namespace {

std::string parseError(const std::string& text) {
    KeysScript script;
    return parseKeysScript(text, script);
}

TEST(KeysScript, HoldsEachLineUntilTheNextOne) {
    KeysScript script;
    ASSERT_EQ(parseKeysScript("5 up,z\n9 left\n12 -\n20 escape\n", script), "");
    // Before the first line nothing is held.
    EXPECT_EQ(script.keysAt(0), 0);
    EXPECT_EQ(script.keysAt(4), 0);
    EXPECT_EQ(script.keysAt(5), kKeyUp | kKeyZ);
    EXPECT_EQ(script.keysAt(8), kKeyUp | kKeyZ);
    // A line replaces the held set; it does not add to it.
    EXPECT_EQ(script.keysAt(9), kKeyLeft);
    EXPECT_EQ(script.keysAt(11), kKeyLeft);
    EXPECT_EQ(script.keysAt(12), 0);
    EXPECT_EQ(script.keysAt(19), 0);
    // The last line holds for ever.
    EXPECT_EQ(script.keysAt(20), kKeyEscape);
    EXPECT_EQ(script.keysAt(kMaxFrameIndex), kKeyEscape);
}

TEST(KeysScript, EveryKeyNameMapsToItsScanCode) {
    KeysScript script;
    ASSERT_EQ(parseKeysScript("0 up,down,left,right,z,enter,escape\n", script), "");
    const KeyState keys = script.stateAt(0);
    for (int code : {ScanCode::Up, ScanCode::Down, ScanCode::Left, ScanCode::Right, ScanCode::Z, ScanCode::Enter,
                     ScanCode::Escape})
        EXPECT_TRUE(keys.isKeyDown(code)) << code;
    int down = 0;
    for (int code = 0; code < 256; ++code) down += keys.isKeyDown(code) ? 1 : 0;
    EXPECT_EQ(down, 7);

    ASSERT_EQ(parseKeysScript("0 right\n", script), "");
    const KeyState one = script.stateAt(3);
    EXPECT_TRUE(one.isKeyDown(ScanCode::Right));
    EXPECT_FALSE(one.isKeyDown(ScanCode::Left));
    EXPECT_FALSE(one.isKeyDown(ScanCode::Up));
}

TEST(KeysScript, AcceptsEmptyScriptsCommentsBlanksCrlfAndSurroundingSpaces) {
    KeysScript script;
    ASSERT_EQ(parseKeysScript("", script), "");
    EXPECT_EQ(script.keysAt(0), 0);
    ASSERT_EQ(parseKeysScript("# only a comment\n\n   \n", script), "");
    EXPECT_TRUE(script.changes().empty());
    const std::string text =
        "# a game\r\n"
        "\r\n"
        "   0 -   \r\n"
        "\t3\tup , z\t\r\n"
        "  # indented comment\n"
        "7 down";  // no final line break
    ASSERT_EQ(parseKeysScript(text, script), "");
    ASSERT_EQ(script.changes().size(), 3u);
    EXPECT_EQ(script.keysAt(0), 0);
    EXPECT_EQ(script.keysAt(3), kKeyUp | kKeyZ);
    EXPECT_EQ(script.keysAt(7), kKeyDown);
}

TEST(KeysScript, ReportsTheLineOfABadLineOrOfAFrameThatDoesNotIncrease) {
    // Blank and comment lines count.
    EXPECT_EQ(parseError("# header\n\n0 up\njump 4\n").rfind("line 4:", 0), 0u);
    EXPECT_EQ(parseError("0 up\r\n1 fly\r\n").rfind("line 2:", 0), 0u);
    EXPECT_NE(parseError("0 up\n1 fly\n").find("fly"), std::string::npos);
    // Frames strictly increase.
    EXPECT_EQ(parseError("4 up\n4 down\n").rfind("line 2:", 0), 0u);  // duplicate
    EXPECT_EQ(parseError("4 up\n9 down\n6 z\n").rfind("line 3:", 0), 0u);
    EXPECT_EQ(parseError("0 up\n1 down\n"), "");
    EXPECT_EQ(parseError("9999999 up\n"), "");  // the largest frame a run reaches
}

TEST(KeysScript, RejectsMalformedLines) {
    const char* bad[] = {
        "5 jump",            // unknown key
        "5 UP",              // names are lowercase
        "5 up,,z",           // empty item
        "5 up,",             // empty last item
        "5 ,up",             // empty first item
        "5 -,up",            // '-' is not a key in a list
        "5 up up",           // items are separated by commas
        "5 up,up",           // a key twice
        "-5 up",             // negative frame
        "+5 up",             // signed frame
        "5",                 // no keys
        "5   ",              // no keys, trailing blanks
        "5x up",             // bad number
        "up 5",              // keys first
        "10000000 up",       // beyond the largest frame
        "99999999999999999999999 up",  // would overflow
        "5.0 up",
        "010 up",            // no leading zeros: never read as octal
        "0x10 up",
        "1e3 up",
    };
    for (const char* line : bad) {
        const std::string error = parseError(std::string(line) + "\n");
        EXPECT_EQ(error.rfind("line 1:", 0), 0u) << "accepted: '" << line << "'";
    }
    EXPECT_NE(parseError(std::string("5 up\0z\n", 7)), "");
    // The message says what is wrong with the frame number.
    EXPECT_NE(parseError("-5 up\n").find("negative"), std::string::npos);
    EXPECT_NE(parseError("10000000 up\n").find("too large"), std::string::npos);
    EXPECT_NE(parseError("010 up\n").find("bad frame number '010'"), std::string::npos);
    EXPECT_NE(parseError("up 5\n").find("'up 5'"), std::string::npos);
}

TEST(KeysScript, AFailedParseLeavesTheScriptAsItWas) {
    KeysScript script;
    ASSERT_EQ(parseKeysScript("2 enter\n", script), "");
    EXPECT_NE(parseKeysScript("0 up\n1 nope\n", script), "");
    EXPECT_EQ(script.keysAt(0), 0);
    EXPECT_EQ(script.keysAt(2), kKeyEnter);
}

}  // namespace
}  // namespace vonkel::lockstep
