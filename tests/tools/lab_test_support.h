#pragma once
// Helpers of the tools tests: a scratch directory, JSON read back with
// nlohmann-json, and WAV and PNG files read back with their libraries.
#include <png.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vonkel::lab::test {

// A fresh empty directory for one test, removed with everything in it.
class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("vonkel-lab-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    // Sorted names of everything directly inside `sub` (or the directory itself).
    std::vector<std::string> list(const std::string& sub = "") const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(sub.empty() ? path_ : path_ / sub))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void write(const std::string& name, const std::string& contents) const {
        std::ofstream(file(name), std::ios::binary) << contents;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::filesystem::path path_;
};

// Objects keep their key order.
using Json = nlohmann::ordered_json;

// The member names of the objects at `depth` (1: the outermost object) in
// the order written; repeats are kept, which the parsed value would merge.
inline std::vector<std::string> keysAt(const std::string& text, int depth = 1) {
    std::vector<std::string> keys;
    const Json parsed = Json::parse(text, [&](int d, Json::parse_event_t event, Json& value) {
        if (event == Json::parse_event_t::key && d == depth) keys.push_back(value.get<std::string>());
        return true;
    });
    return keys;
}

// An integer that is printed as one (no point, no exponent).
inline long long asInt(const Json& value) {
    if (!value.is_number_integer()) throw std::runtime_error("not an integer: " + value.dump());
    return value.get<long long>();
}

inline std::vector<long long> asInts(const Json& array) {
    std::vector<long long> out;
    for (const Json& item : array) out.push_back(asInt(item));
    return out;
}

inline std::vector<uint32_t> bitsOf(const std::vector<float>& samples) {
    std::vector<uint32_t> bits;
    for (float s : samples) bits.push_back(std::bit_cast<uint32_t>(s));
    return bits;
}

// The samples of a WAV file as far as they can be read.
inline std::vector<float> readWav(const std::string& path, SF_INFO& info) {
    info = {};
    SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
    if (in == nullptr) return {};
    std::vector<float> samples(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t read = sf_read_float(in, samples.data(), info.frames * info.channels);
    samples.resize(static_cast<size_t>(std::max<sf_count_t>(0, read)));
    sf_close(in);
    return samples;
}

// A PNG file's size, stored format and pixels as 0xRRGGBB, row by row.
struct Png {
    png_uint_32 width = 0, height = 0, format = 0;
    std::vector<uint32_t> pixels;
};
inline Png readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    Png png{image.width, image.height, image.format, {}};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        png.pixels.push_back(static_cast<uint32_t>(rgb[i]) << 16 | static_cast<uint32_t>(rgb[i + 1]) << 8 | rgb[i + 2]);
    return png;
}

}  // namespace vonkel::lab::test
