#pragma once
// Where the window and its picture go: the arithmetic of the zoom and of the
// black bars in fullscreen. Pure: needs no display.
namespace vonkel {

struct WindowRect {
    int x, y, width, height;
};

struct WindowBorders {
    int top, left, bottom, right;
};

// Where the client area goes for a zoom factor: the outer size (client plus
// borders) is `factor` times the initial outer size, and the outer frame is
// centred on the display (halving by arithmetic shift, so a window larger
// than the display overhangs both edges alike).
WindowRect zoomedClientRect(int factor, int baseClientWidth, int baseClientHeight, WindowBorders borders,
                            WindowRect display);

// The largest rectangle of the image's shape inside the output, centred;
// the rest of the output is the black bars.
WindowRect letterboxRect(int outputWidth, int outputHeight, int imageWidth, int imageHeight);

}  // namespace vonkel
