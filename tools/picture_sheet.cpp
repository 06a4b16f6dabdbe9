// Writes every picture of the window into one PPM contact sheet (on a
// light grey ground), so that they can be looked at without Windows.
#include <cstdio>
#include <vector>

#include "resources/pictures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: picture_sheet OUT.ppm\n");
        return 2;
    }
    using base::Picture;
    const Picture all[] = {Picture::InfoIcon, Picture::Star, Picture::Document, Picture::BlueArrow,
                           Picture::PointingHand, Picture::ExitDoor, Picture::GreenCheck};
    const int w = 600, h = 260;
    std::vector<uint32_t> sheet(w * h, 0xFFE8E8E8);
    auto put = [&](const resources::Bitmap& b, int ox, int oy, int scale) {
        for (int y = 0; y < b.height * scale; ++y)
            for (int x = 0; x < b.width * scale; ++x) {
                if (ox + x >= w || oy + y >= h) continue;
                const uint32_t p = b.pixels[(y / scale) * b.width + x / scale];
                const uint32_t a = p >> 24;
                uint32_t& d = sheet[(oy + y) * w + ox + x];
                auto ch = [&](int s) { return (((p >> s) & 0xFF) + ((d >> s) & 0xFF) * (255 - a) / 255) & 0xFF; };
                d = 0xFF000000 | (ch(16) << 16) | (ch(8) << 8) | ch(0);
            }
    };
    // Each picture at its size and twice its size, then the logo and the
    // emblem at the icon's sizes.
    int x = 8;
    for (Picture p : all) {
        const auto b = resources::drawPicture(p);
        put(b, x, 8, 1);
        put(b, x, 70, 2);
        x += b.width * 2 + 8;
    }
    put(resources::drawPicture(Picture::Logo), 8, 170, 1);
    put(resources::drawEmblem(32), 170, 170, 1);
    put(resources::drawEmblem(16), 210, 170, 1);
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) return 1;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (uint32_t p : sheet) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                      static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
    return 0;
}
