#pragma once
// 8-bit RGB PNG pictures from 0x00RRGGBB pixels.
#include <cstdint>
#include <span>
#include <string>

#include "output/output_file.h"

namespace vonkel::output {

// Writes the picture (row-major, `width` pixels a row) into the open file
// and finishes it, leaving its name to the caller (publish). Returns an empty string
// or a message.
std::string writePng(OutputFile& file, std::span<const uint32_t> pixels, int width, int height);

// Writes the picture as the file at `path`, which appears only when whole.
std::string writePngFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height,
                         OpenOptions options = {});

}  // namespace vonkel::output
