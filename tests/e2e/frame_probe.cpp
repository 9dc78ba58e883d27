// Reads a screenshot of the game's 640 x 480 client area (a PNG file) and
// prints what a player would see in it, one fact per line, for the
// end-to-end scripts to judge:
//
//   size W H              the picture size
//   doubled N             2 x 2 blocks that are not one colour (0: the
//                         picture is a 320 x 240 image shown doubled)
//   foreign N             image pixels of a colour the game never draws
//   terrain A B C         pixels of the three tile colours 0x80A040,
//                         0x4080A0, 0xA04080 in image rows 16..79 and
//                         160..239, where only the play field is drawn
//   player N X Y          pixels of the player colour 0xC0FFFF and their
//                         centroid (image coordinates, 320 x 240)
//   player_tile COLOUR    the tile colour seen around the player glyph in
//                         the cell under its centre (none when no player)
//   pickups N             pixels of the two pickup colours outside the
//                         status panel
//   panel ok|bad ...      whether the status panel (rows 1..14, columns
//                         97..222) has its border, body, wells and bars
//   energy N              length of the energy bar (rows 4..5 from column
//                         100), -1 when the two rows differ
//   boost N               length of the boost bar (rows 9..11 from
//                         column 100), -1 when the three rows differ
//   score DDDDDD          the six score digits, '?' for a cell that shows
//                         no digit
//   band ok|bad ...       whether rows 80..159 show the waveform band: black
//                         with blue lines on rows 81 and 158 and a white
//                         trace between rows 88 and 151 in every column
//   trace_rows N          the number of rows of the band that the trace
//                         touches in columns 1..319 (1: a flat line, the
//                         picture of silence)
//
// Coordinates are those of the 320 x 240 image (each one a 2 x 2 block of
// the picture). usage: frame_probe PICTURE.png
#include <png.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kCalm = 0x80A040;
constexpr uint32_t kPlain = 0x4080A0;  // also the panel body and the band lines
constexpr uint32_t kHazard = 0xA04080;
constexpr uint32_t kPlayer = 0xC0FFFF;
constexpr uint32_t kPickupWarm = 0xFFC080;
constexpr uint32_t kWhite = 0xFFFFFF;  // pickups, boost bar, digits, trace
constexpr uint32_t kEnergy = 0xFFA040;

// The score digits as the player sees them: 6 columns by 5 rows each.
constexpr std::array<std::array<const char*, 5>, 10> kDigits = {{
    {"xxxxxx", "x....x", "x....x", "x....x", "xxxxxx"},
    {"..xx..", "...x..", "...x..", "...x..", ".xxxxx"},
    {"xxxxxx", ".....x", "xxxxxx", "x.....", "xxxxxx"},
    {"xxxxxx", ".....x", "...xxx", ".....x", "xxxxxx"},
    {"x....x", "x....x", "xxxxxx", ".....x", ".....x"},
    {"xxxxxx", "x.....", "xxxxxx", ".....x", "xxxxxx"},
    {"xxxxxx", "x.....", "xxxxxx", "x....x", "xxxxxx"},
    {"xxxxxx", ".....x", ".....x", ".....x", ".....x"},
    {"xxxxxx", "x....x", "xxxxxx", "x....x", "xxxxxx"},
    {"xxxxxx", "x....x", "xxxxxx", ".....x", "xxxxxx"},
}};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

bool readPng(const char* path, Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path) == 0) {
        std::fprintf(stderr, "frame_probe: cannot read '%s': %s\n", path, image.message);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) {
        std::fprintf(stderr, "frame_probe: cannot decode '%s': %s\n", path, image.message);
        png_image_free(&image);
        return false;
    }
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        picture.pixels[i] = static_cast<uint32_t>(rgb[3 * i]) << 16 | static_cast<uint32_t>(rgb[3 * i + 1]) << 8 |
                            rgb[3 * i + 2];
    }
    png_image_free(&image);
    return true;
}

bool inPanel(int x, int y) { return y >= 1 && y <= 14 && x >= 97 && x <= 222; }

std::string hex(uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", colour);
    return text;
}

// What the status panel should hold at (x, y), given the bar lengths read
// from it; returns an empty string when the pixel fits.
std::string panelMismatch(const Picture& image, int x, int y, int energy, int boost) {
    const uint32_t c = image.at(x, y);
    uint32_t expected = kPlain;
    if (y == 1 || y == 14 || x == 97 || x == 222) {
        expected = kBlack;
    } else if (y >= 3 && y <= 6 && x >= 99 && x <= 220) {
        expected = (y == 4 || y == 5) && x >= 100 && x < 100 + energy ? kEnergy : kBlack;
    } else if (y >= 8 && y <= 12 && x >= 99 && x <= 160) {
        expected = y >= 9 && y <= 11 && x >= 100 && x < 100 + boost ? kWhite : kBlack;
    } else if (y >= 8 && y <= 12 && x >= 171 && x <= 211) {
        if (c == kWhite || c == kPlain) return {};
        return "digit area holds " + hex(c);
    }
    if (c == expected) return {};
    return "holds " + hex(c) + ", expected " + hex(expected);
}

int runLength(const Picture& image, int y, int x0, int xEnd, uint32_t colour) {
    int x = x0;
    while (x <= xEnd && image.at(x, y) == colour) ++x;
    return x - x0;
}

char readDigit(const Picture& image, int cellX, int cellY) {
    for (int d = 0; d < 10; ++d) {
        bool match = true;
        for (int r = 0; r < 5 && match; ++r) {
            for (int i = 0; i < 6 && match; ++i) {
                const bool set = kDigits[d][r][i] == 'x';
                match = (image.at(cellX + i, cellY + r) == kWhite) == set;
            }
        }
        if (match) return static_cast<char>('0' + d);
    }
    return '?';
}

std::string bandMismatch(const Picture& image) {
    for (int x = 0; x < kWidth; ++x) {
        bool traced = false;
        for (int y = 80; y <= 159; ++y) {
            const uint32_t c = image.at(x, y);
            // Column 0 starts the trace from an unlimited level; it may cross
            // the whole band.
            if (x == 0 && c == kWhite) continue;
            if (y == 81 || y == 158) {
                if (c != kPlain) return "line row " + std::to_string(y) + " column " + std::to_string(x) + " holds " + hex(c);
                continue;
            }
            if (c == kWhite && y >= 88 && y <= 151) {
                traced = true;
                continue;
            }
            if (c != kBlack) return "row " + std::to_string(y) + " column " + std::to_string(x) + " holds " + hex(c);
        }
        if (x > 0 && !traced) return "no trace in column " + std::to_string(x);
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: frame_probe PICTURE.png\n");
        return 2;
    }
    Picture picture;
    if (!readPng(argv[1], picture)) return 2;
    std::printf("size %d %d\n", picture.width, picture.height);
    if (picture.width != 2 * kWidth || picture.height != 2 * kHeight) return 1;

    Picture image;
    image.width = kWidth;
    image.height = kHeight;
    image.pixels.resize(kWidth * kHeight);
    int mixedBlocks = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t c = picture.at(2 * x, 2 * y);
            if (picture.at(2 * x + 1, 2 * y) != c || picture.at(2 * x, 2 * y + 1) != c ||
                picture.at(2 * x + 1, 2 * y + 1) != c) {
                ++mixedBlocks;
            }
            image.pixels[static_cast<size_t>(y) * kWidth + x] = c;
        }
    }
    std::printf("doubled %d\n", mixedBlocks);

    int foreign = 0;
    std::array<int, 3> terrain{};
    long playerCount = 0;
    double playerX = 0.0, playerY = 0.0;
    int minX = kWidth, minY = kHeight, maxX = -1, maxY = -1;
    int pickups = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t c = image.at(x, y);
            switch (c) {
                case kBlack:
                case kCalm:
                case kPlain:
                case kHazard:
                case kEnergy:
                    break;
                case kPlayer:
                    ++playerCount;
                    playerX += x;
                    playerY += y;
                    if (x < minX) minX = x;
                    if (x > maxX) maxX = x;
                    if (y < minY) minY = y;
                    if (y > maxY) maxY = y;
                    break;
                case kPickupWarm:
                case kWhite:
                    if (!inPanel(x, y)) ++pickups;
                    break;
                default:
                    ++foreign;
                    break;
            }
            if ((y >= 16 && y <= 79) || y >= 160) {
                if (c == kCalm) ++terrain[0];
                if (c == kPlain) ++terrain[1];
                if (c == kHazard) ++terrain[2];
            }
        }
    }
    std::printf("foreign %d\n", foreign);
    std::printf("terrain %d %d %d\n", terrain[0], terrain[1], terrain[2]);
    if (playerCount > 0) {
        std::printf("player %ld %.2f %.2f\n", playerCount, playerX / playerCount, playerY / playerCount);
    } else {
        std::printf("player 0 - -\n");
    }

    // The tile under the player's centre: the player glyph covers an 8 x 8
    // box whose centre is the middle of the box around its pixels; the tile
    // pixels it leaves uncovered in that cell show the tile's kind.
    std::string playerTile = "none";
    if (playerCount > 0) {
        const int cellX = ((minX + maxX + 1) / 2) / 8 * 8;
        const int cellY = ((minY + maxY + 1) / 2) / 8 * 8;
        std::array<int, 3> seen{};
        for (int y = cellY; y < cellY + 8 && y < kHeight; ++y) {
            for (int x = cellX; x < cellX + 8 && x < kWidth; ++x) {
                const uint32_t c = image.at(x, y);
                if (c == kCalm) ++seen[0];
                if (c == kPlain) ++seen[1];
                if (c == kHazard) ++seen[2];
            }
        }
        const uint32_t colours[3] = {kCalm, kPlain, kHazard};
        int best = -1;
        for (int k = 0; k < 3; ++k) {
            if (seen[k] > 0 && (best < 0 || seen[k] > seen[best])) best = k;
        }
        if (best >= 0) playerTile = hex(colours[best]);
    }
    std::printf("player_tile %s\n", playerTile.c_str());
    std::printf("pickups %d\n", pickups);

    const int energy4 = runLength(image, 4, 100, 220, kEnergy);
    const int energy5 = runLength(image, 5, 100, 220, kEnergy);
    const int energy = energy4 == energy5 ? energy4 : -1;
    int boost = runLength(image, 9, 100, 160, kWhite);
    for (int y = 10; y <= 11; ++y) {
        if (runLength(image, y, 100, 160, kWhite) != boost) boost = -1;
    }
    std::string panel;
    for (int y = 1; y <= 14 && panel.empty(); ++y) {
        for (int x = 97; x <= 222 && panel.empty(); ++x) {
            const std::string why = panelMismatch(image, x, y, energy, boost);
            if (!why.empty()) panel = "bad row " + std::to_string(y) + " column " + std::to_string(x) + " " + why;
        }
    }
    std::printf("panel %s\n", panel.empty() ? "ok" : panel.c_str());
    std::printf("energy %d\n", energy);
    std::printf("boost %d\n", boost);
    std::string score;
    for (int cellX = 171; cellX <= 206; cellX += 7) score += readDigit(image, cellX, 8);
    std::printf("score %s\n", score.c_str());

    const std::string band = bandMismatch(image);
    std::printf("band %s\n", band.empty() ? "ok" : ("bad " + band).c_str());
    int traceRows = 0;
    for (int y = 80; y <= 159; ++y) {
        for (int x = 1; x < kWidth; ++x) {
            if (image.at(x, y) == kWhite) {
                ++traceRows;
                break;
            }
        }
    }
    std::printf("trace_rows %d\n", traceRows);
    return 0;
}
