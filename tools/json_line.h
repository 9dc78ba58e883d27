#pragma once
// A one-line JSON object writer. Floats are printed with nine significant
// digits (printf "%.9g"), which is enough to read every 32-bit float back
// exactly; integers are printed as integers.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vonkel::lab {

// "%.9g" of the float; non-finite values, which JSON cannot carry, as null.
std::string formatFloat(float value);

class JsonLine {
public:
    JsonLine() { text_ = "{"; }

    JsonLine& integer(std::string_view key, int64_t value);
    JsonLine& number(std::string_view key, float value);
    JsonLine& boolean(std::string_view key, bool value);
    JsonLine& string(std::string_view key, std::string_view value);
    JsonLine& integers(std::string_view key, std::span<const int64_t> values);
    JsonLine& numbers(std::string_view key, std::span<const float> values);
    // Inserts already formatted JSON (an object, an array) as the value.
    JsonLine& raw(std::string_view key, std::string_view json);

    // The finished object, without a line break.
    std::string str() const { return text_ + "}"; }

private:
    void addKey(std::string_view key);
    template <class T, class Format>
    JsonLine& list(std::string_view key, std::span<const T> values, Format format);
    std::string text_;
    bool first_ = true;
};

// Sixteen lowercase hex digits.
std::string toHex16(uint64_t value);

}  // namespace vonkel::lab
