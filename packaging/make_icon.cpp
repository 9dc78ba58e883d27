// Writes the game's icon (game/icon.h) as PNG pictures of the hicolor sizes
// and as an SVG with one square per pixel, so that every size shows the same
// pixels.
//
// usage: make_icon OUTPUT-DIR    (writes vonkel-SIZE.png and vonkel.svg)
#include <png.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "game/icon.h"

namespace {

using namespace vonkel;

constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

bool writePng(const std::string& path, const std::array<uint32_t, kIconPixels * kIconPixels>& icon, int size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(size) * 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const uint32_t p = icon[static_cast<size_t>((y * kIconPixels / size) * kIconPixels + x * kIconPixels / size)];
            row[static_cast<size_t>(x) * 3] = static_cast<png_byte>(p >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<png_byte>(p >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<png_byte>(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

bool writeSvg(const std::string& path, const std::array<uint32_t, kIconPixels * kIconPixels>& icon) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    std::fprintf(file,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 %d %d\" "
                 "shape-rendering=\"crispEdges\">\n<rect width=\"%d\" height=\"%d\" fill=\"#000000\"/>\n",
                 kIconPixels, kIconPixels, kIconPixels, kIconPixels);
    for (int y = 0; y < kIconPixels; ++y) {
        for (int x = 0; x < kIconPixels; ++x) {
            const uint32_t p = icon[static_cast<size_t>(y * kIconPixels + x)];
            if (p == 0) continue;
            std::fprintf(file, "<rect x=\"%d\" y=\"%d\" width=\"1\" height=\"1\" fill=\"#%06X\"/>\n", x, y,
                         static_cast<unsigned>(p));
        }
    }
    std::fprintf(file, "</svg>\n");
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUTPUT-DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const auto icon = drawIcon();
    for (int size : kSizes) {
        const std::string path = dir + "/vonkel-" + std::to_string(size) + ".png";
        if (!writePng(path, icon, size)) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (!writeSvg(dir + "/vonkel.svg", icon)) {
        std::fprintf(stderr, "make_icon: cannot write %s/vonkel.svg\n", dir.c_str());
        return 1;
    }
    return 0;
}
