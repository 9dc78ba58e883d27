#include "output/png_writer.h"

#include <png.h>

#include <vector>

namespace vonkel::output {

std::string writePng(OutputFile& file, std::span<const uint32_t> pixels, int width, int height) {
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return "picture size does not match its pixels";
    }
    std::vector<uint8_t> rgb(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        rgb[3 * i + 0] = static_cast<uint8_t>(pixels[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
    }

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    std::string encoded(PNG_IMAGE_PNG_SIZE_MAX(image), '\0');
    png_alloc_size_t size = encoded.size();
    const int ok = png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), width * 3, nullptr);
    const std::string libraryMessage = ok ? std::string() : std::string(image.message);
    png_image_free(&image);
    if (!ok) return "cannot write PNG " + quotedPath(file.path()) + ": " + libraryMessage;
    encoded.resize(size);
    if (!file.write(encoded)) return file.writeError();
    return file.finish();
}

std::string writePngFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height,
                         OpenOptions options) {
    OutputFile file;
    if (std::string error = file.open(path, options); !error.empty()) return error;
    if (std::string error = writePng(file, pixels, width, height); !error.empty()) return error;
    return file.publish();
}

}  // namespace vonkel::output
