#pragma once
// A one-line JSON object of numbers, flags and digests, as the lab prints a
// song or a frame. Floats are printed as printf's "%.9g" would (nine
// significant digits, enough to read every 32-bit float back exactly;
// scripts read this text), integers as integers.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vonkel::lab {

// "%.9g" of the float; non-finite values, which JSON cannot carry, as null.
std::string formatFloat(float value);

// Keys are the caller's own identifiers, written as they are.
class JsonLine {
public:
    JsonLine& integer(std::string_view key, int64_t value);
    JsonLine& number(std::string_view key, float value);
    JsonLine& boolean(std::string_view key, bool value);
    JsonLine& digest(std::string_view key, uint64_t value);  // "0123456789abcdef"
    JsonLine& integers(std::string_view key, std::span<const int64_t> values);
    JsonLine& numbers(std::string_view key, std::span<const float> values);
    // Inserts already formatted JSON (an object, an array) as the value.
    JsonLine& raw(std::string_view key, std::string_view json);

    // The finished object, without a line break.
    std::string str() const { return text_ + "}"; }

private:
    JsonLine& add(std::string_view key, std::string_view value);
    std::string text_ = "{";
};

}  // namespace vonkel::lab
