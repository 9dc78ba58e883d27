#include "tools/json_line.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "lab_test_support.h"

namespace vonkel::lab {
namespace {

TEST(FormatFloat, NineSignificantDigitsReadBackExactlyAndNonFiniteIsNull) {
    EXPECT_EQ(formatFloat(0.1f), "0.100000001");
    EXPECT_EQ(formatFloat(1.0f), "1");
    EXPECT_EQ(formatFloat(-2.5f), "-2.5");
    EXPECT_EQ(formatFloat(0.2f), "0.200000003");
    for (float f : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()})
        EXPECT_EQ(formatFloat(f), "null");

    std::mt19937 random(12345);
    std::vector<float> values = {std::numeric_limits<float>::min(), std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::denorm_min(), -0.0f, 16777217.0f, 3.4e-39f};
    for (int i = 0; i < 20000; ++i) {
        const float f = std::bit_cast<float>(static_cast<uint32_t>(random()));
        if (std::isfinite(f)) values.push_back(f);
    }
    for (float f : values) {
        const std::string text = formatFloat(f);
        const float back = std::strtof(text.c_str(), nullptr);
        ASSERT_EQ(std::bit_cast<uint32_t>(back), std::bit_cast<uint32_t>(f)) << text;
    }
}

TEST(JsonLine, BuildsOneValidObjectInKeyOrder) {
    EXPECT_EQ(JsonLine().str(), "{}");
    const int64_t ints[] = {0, -1, std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()};
    const float floats[] = {0.5f, 1e-7f, 3.0f};
    JsonLine line;
    line.integer("a", 42)
        .number("b", 0.3f)
        .boolean("c", true)
        .boolean("d", false)
        .digest("e", 0xABCDEF0123456789ULL)
        .integers("f", ints)
        .numbers("g", floats)
        .integers("h", {})
        .raw("i", "[[1,2,3]]");
    const std::string text = line.str();
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(test::keysAt(text), (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
    test::Json v = test::Json::parse(text);
    EXPECT_EQ(test::asInt(v["a"]), 42);
    EXPECT_EQ(v["b"].get<float>(), 0.3f);
    EXPECT_EQ(v["c"], true);
    EXPECT_EQ(v["d"], false);
    EXPECT_EQ(v["e"], "abcdef0123456789");
    // The numbers as printed: integers whole, floats with nine digits, a whole float without a point.
    EXPECT_NE(text.find(R"("f":[0,-1,9223372036854775807,-9223372036854775808])"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("g":[0.5,1.00000001e-07,3])"), std::string::npos) << text;
    EXPECT_EQ(v["h"], test::Json::array());
    EXPECT_EQ(test::asInt(v["i"][0][2]), 3);
}

}  // namespace
}  // namespace vonkel::lab
