// The window's pictures and the program's emblem, drawn in code.
#pragma once

#include <cstdint>
#include <vector>

#include "base/picture.h"

namespace resources {

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB premultiplied, top row first
};

// Natural size of each picture.
void pictureSize(base::Picture picture, int& width, int& height);

// Draws the picture at its natural size.
Bitmap drawPicture(base::Picture picture);

// Draws the picture at `scale` times its natural size, rounded to whole
// pixels: its shapes are drawn at that size, not resampled, so it is as
// sharp as at its natural size. With a maximum width or height above 0,
// only that much of it is drawn, from its top-left corner.
Bitmap drawPicture(base::Picture picture, double scale, int maxWidth, int maxHeight);

// The maker's emblem at any square size (application icon).
Bitmap drawEmblem(int size);

}  // namespace resources
