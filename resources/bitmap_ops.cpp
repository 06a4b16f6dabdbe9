#include "resources/bitmap_ops.h"

#include <algorithm>
#include <cmath>

namespace resources {

Bitmap scaled(const Bitmap& src, int width, int height) {
    Bitmap out{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    if (src.width == 0 || src.height == 0 || width == 0 || height == 0) return out;
    const double sx = static_cast<double>(src.width) / width;
    const double sy = static_cast<double>(src.height) / height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Average the source area that this pixel covers, weighted by overlap.
            const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
            double acc[4] = {0, 0, 0, 0}, total = 0;
            for (int yy = static_cast<int>(y0); yy < std::min(src.height, static_cast<int>(std::ceil(y1))); ++yy) {
                const double wy = std::min(y1, yy + 1.0) - std::max(y0, static_cast<double>(yy));
                for (int xx = static_cast<int>(x0); xx < std::min(src.width, static_cast<int>(std::ceil(x1))); ++xx) {
                    const double w = wy * (std::min(x1, xx + 1.0) - std::max(x0, static_cast<double>(xx)));
                    const uint32_t p = src.pixels[static_cast<size_t>(yy) * src.width + xx];
                    for (int k = 0; k < 4; ++k) acc[k] += w * ((p >> (8 * k)) & 0xFF);
                    total += w;
                }
            }
            uint32_t v = 0;
            for (int k = 0; k < 4; ++k)
                v |= static_cast<uint32_t>(std::lround(total > 0 ? acc[k] / total : 0)) << (8 * k);
            out.pixels[static_cast<size_t>(y) * width + x] = v;
        }
    }
    return out;
}

Bitmap greyed(const Bitmap& src) {
    Bitmap out = src;
    for (uint32_t& p : out.pixels) {
        const uint32_t a = p >> 24;
        const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        const uint32_t grey = (r * 30 + g * 59 + b * 11) / 100;
        // Lighter grey at half opacity (premultiplied).
        const uint32_t na = a / 2;
        const uint32_t ng = std::min<uint32_t>(na, (grey + a) / 2 * na / std::max<uint32_t>(a, 1));
        p = (na << 24) | (ng << 16) | (ng << 8) | ng;
    }
    return out;
}

}  // namespace resources
