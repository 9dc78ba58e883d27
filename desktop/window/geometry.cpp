#include "desktop/window/geometry.h"

#include <cstdint>

namespace vonkel {

WindowRect zoomedClientRect(int factor, int baseClientWidth, int baseClientHeight, WindowBorders borders,
                            WindowRect display) {
    const int outerWidth = factor * (baseClientWidth + borders.left + borders.right);
    const int outerHeight = factor * (baseClientHeight + borders.top + borders.bottom);
    const int outerX = display.x + ((display.width - outerWidth) >> 1);
    const int outerY = display.y + ((display.height - outerHeight) >> 1);
    return {outerX + borders.left, outerY + borders.top, outerWidth - borders.left - borders.right,
            outerHeight - borders.top - borders.bottom};
}

WindowRect letterboxRect(int outputWidth, int outputHeight, int imageWidth, int imageHeight) {
    if (outputWidth <= 0 || outputHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) return {0, 0, 0, 0};
    // Compared in 64 bits: which side limits the scale.
    const int64_t wide = int64_t{outputWidth} * imageHeight;
    const int64_t tall = int64_t{outputHeight} * imageWidth;
    int width = outputWidth;
    int height = outputHeight;
    if (wide > tall) {
        width = static_cast<int>(tall / imageHeight);  // bars left and right
    } else {
        height = static_cast<int>(wide / imageWidth);  // bars above and below
    }
    return {(outputWidth - width) / 2, (outputHeight - height) / 2, width, height};
}

}  // namespace vonkel
