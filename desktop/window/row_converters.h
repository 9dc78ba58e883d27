#pragma once
// Conversion of 0x00RRGGBB rows into a display surface's own pixel format.
// The converter is chosen once from the format and called once per row.
#include <cstdint>

namespace vonkel {

using RowConverter = void (*)(const uint32_t* source, void* destination, int count);

void copyRow32(const uint32_t* source, void* destination, int count);
void swapRow32(const uint32_t* source, void* destination, int count);
void packRow24(const uint32_t* source, void* destination, int count);
void packRow24Swapped(const uint32_t* source, void* destination, int count);
void packRow565(const uint32_t* source, void* destination, int count);
void packRow565Swapped(const uint32_t* source, void* destination, int count);
void packRow555(const uint32_t* source, void* destination, int count);
void packRow555Swapped(const uint32_t* source, void* destination, int count);

// Exact match of bits per pixel and the three masks; null when none fits.
RowConverter chooseRowConverter(int bitsPerPixel, uint32_t redMask, uint32_t greenMask, uint32_t blueMask);

// Converts a whole image row by row into surface memory with the given pitch
// (bytes from one row to the next).
void convertImage(RowConverter converter, const uint32_t* image, int width, int height, void* surface,
                  int pitchBytes);

}  // namespace vonkel
