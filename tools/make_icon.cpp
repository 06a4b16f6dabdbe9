// Writes the application icon: the maker's emblem at 32x32 and 16x16 (and
// a 33x32 variant), each in 32-bit and 256-colour form.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "resources/pictures.h"

namespace {

struct Image {
    int width, height, bits;
    std::vector<uint8_t> data;  // BITMAPINFOHEADER, palette, XOR and AND masks
};

void put16(std::vector<uint8_t>& v, unsigned x) { v.push_back(x & 0xFF); v.push_back((x >> 8) & 0xFF); }
void put32(std::vector<uint8_t>& v, uint32_t x) { for (int i = 0; i < 4; ++i) v.push_back((x >> (8 * i)) & 0xFF); }

// Straight (not premultiplied) colour of a premultiplied pixel.
void unpremultiply(uint32_t p, int& r, int& g, int& b, int& a) {
    a = p >> 24;
    auto ch = [&](int s) { return a ? static_cast<int>(((p >> s) & 0xFF) * 255 / a) : 0; };
    r = ch(16); g = ch(8); b = ch(0);
}

// The emblem centred in a width x height box.
resources::Bitmap emblem(int width, int height) {
    const int size = std::min(width, height);
    const resources::Bitmap e = resources::drawEmblem(size);
    resources::Bitmap out{width, height, std::vector<uint32_t>(width * height, 0)};
    const int ox = (width - size) / 2, oy = (height - size) / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) out.pixels[(y + oy) * width + x + ox] = e.pixels[y * size + x];
    return out;
}

Image encode(const resources::Bitmap& b, int bits) {
    Image img{b.width, b.height, bits, {}};
    auto& v = img.data;
    put32(v, 40); put32(v, b.width); put32(v, b.height * 2); put16(v, 1); put16(v, bits);
    put32(v, 0); put32(v, 0); put32(v, 0); put32(v, 0); put32(v, bits == 8 ? 256 : 0); put32(v, 0);
    // 256-colour palette: a 6x6x6 cube and 40 greys.
    auto cube = [](int c) { return (c * 5 + 127) / 255; };
    if (bits == 8) {
        for (int i = 0; i < 216; ++i) put32(v, ((i / 36) * 51 << 16) | ((i / 6 % 6) * 51 << 8) | (i % 6) * 51);
        for (int i = 0; i < 40; ++i) { const int g = i * 255 / 39; put32(v, (g << 16) | (g << 8) | g); }
    }
    const int xorStride = bits == 8 ? (b.width + 3) / 4 * 4 : b.width * 4;
    for (int y = b.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < b.width; ++x) {
            int r, g, bl, a;
            unpremultiply(b.pixels[y * b.width + x], r, g, bl, a);
            if (bits == 32) {
                row.push_back(bl); row.push_back(g); row.push_back(r); row.push_back(a);
            } else {
                row.push_back(a < 128 ? 0 : cube(r) * 36 + cube(g) * 6 + cube(bl));
            }
        }
        row.resize(xorStride, 0);
        v.insert(v.end(), row.begin(), row.end());
    }
    const int andStride = (b.width + 31) / 32 * 4;
    for (int y = b.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(andStride, 0);
        for (int x = 0; x < b.width; ++x)
            if ((b.pixels[y * b.width + x] >> 24) < 128) row[x / 8] |= 0x80 >> (x % 8);
        v.insert(v.end(), row.begin(), row.end());
    }
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUT.ico\n");
        return 2;
    }
    std::vector<Image> images;
    for (int bits : {32, 8}) {
        images.push_back(encode(emblem(32, 32), bits));
        images.push_back(encode(emblem(16, 16), bits));
        images.push_back(encode(emblem(33, 32), bits));
    }
    std::vector<uint8_t> out;
    put16(out, 0); put16(out, 1); put16(out, images.size());
    uint32_t offset = 6 + 16 * images.size();
    for (const Image& img : images) {
        out.push_back(img.width); out.push_back(img.height);
        out.push_back(0); out.push_back(0);
        put16(out, 1); put16(out, img.bits);
        put32(out, img.data.size()); put32(out, offset);
        offset += img.data.size();
    }
    for (const Image& img : images) out.insert(out.end(), img.data.begin(), img.data.end());
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size()) return 1;
    return std::fclose(f) == 0 ? 0 : 1;
}
