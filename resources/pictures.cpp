#include "resources/pictures.h"

#include <algorithm>
#include <cmath>

#include "resources/canvas.h"

namespace resources {

namespace {

using base::Picture;

constexpr double kPi = 3.14159265358979323846;

Bitmap toBitmap(const Canvas& c) { return Bitmap{c.width(), c.height(), c.premultipliedArgb()}; }

// How a picture is drawn: its scale from the natural size, and the most of
// it that is wanted, from its top-left corner.
struct Frame {
    double scaleX = 1, scaleY = 1;
    int maxWidth = 0, maxHeight = 0;  // 0: all of it
};

// The canvas of a picture of natural size width x height in that frame.
Canvas canvasFor(int width, int height, const Frame& f) {
    int w = static_cast<int>(std::lround(width * f.scaleX));
    int h = static_cast<int>(std::lround(height * f.scaleY));
    if (f.maxWidth > 0) w = std::min(w, f.maxWidth);
    if (f.maxHeight > 0) h = std::min(h, f.maxHeight);
    return Canvas(std::max(w, 0), std::max(h, 0), f.scaleX, f.scaleY);
}

// Moves a shape by (dx, dy) and scales it about the origin by s.
Inside place(Inside in, double dx, double dy, double s) {
    return [in = std::move(in), dx, dy, s](double x, double y) { return in((x - dx) / s, (y - dy) / s); };
}

// Leans a shape to the right above the baseline.
Inside slant(Inside in, double baseline, double k) {
    return [in = std::move(in), baseline, k](double x, double y) { return in(x - k * (baseline - y), y); };
}

Bitmap background(const Frame& f) {
    Canvas c = canvasFor(640, 480, f);
    c.paintAll(radial(30, 20, 620, rgba(0x9CCBF2), rgba(0xFFFFFF)));
    return toBitmap(c);
}

Bitmap infoIcon(const Frame& f) {
    Canvas c = canvasFor(32, 32, f);
    c.fill(circle(16, 16.5, 15), rgba(0x0A3C8C, 0.35));  // soft shadow
    c.fill(circle(16, 16, 15), rgba(0x1E4FA8));
    c.fill(circle(16, 16, 14), radial(11, 9, 20, rgba(0x7DB8F5), rgba(0x1F5FCC)));
    c.fill(ellipse(16, 9, 10, 5.5), linear(0, 4, rgba(0xFFFFFF, 0.45), 0, 14, rgba(0xFFFFFF, 0.0)));
    c.fill(circle(16, 9.2, 2.4), rgba(0xFFFFFF));
    c.fill(unite(roundRect(14.0, 13.0, 18.0, 24.5, 1.2), roundRect(12.5, 22.5, 19.5, 25.0, 1.0)), rgba(0xFFFFFF));
    return toBitmap(c);
}

std::vector<Point> starPoints(double cx, double cy, double outer, double inner) {
    std::vector<Point> pts;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? inner : outer;
        const double a = -kPi / 2 + i * kPi / 5;
        pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return pts;
}

Bitmap star(const Frame& f) {
    Canvas c = canvasFor(32, 32, f);
    c.fill(polygon(starPoints(16, 17.5, 15.5, 6.6)), rgba(0xB86E00));
    c.fill(polygon(starPoints(16, 17.5, 13.5, 5.6)), linear(0, 4, rgba(0xFFF27A), 0, 28, rgba(0xF5A300)));
    c.fill(polygon(starPoints(16, 16.5, 6, 2.5)), rgba(0xFFFFFF, 0.45));
    return toBitmap(c);
}

Bitmap document(const Frame& f) {
    Canvas c = canvasFor(48, 48, f);
    const std::vector<Point> page{{8, 3}, {31, 3}, {40, 12}, {40, 45}, {8, 45}};
    c.fill(polygon({{10, 5}, {33, 5}, {42, 14}, {42, 47}, {10, 47}}), rgba(0x000000, 0.18));
    c.fill(polygon({{7, 2}, {31.5, 2}, {41, 11.5}, {41, 46}, {7, 46}}), rgba(0x5A6E82));
    c.fill(polygon(page), linear(8, 3, rgba(0xFFFFFF), 40, 45, rgba(0xDCE8F4)));
    c.fill(polygon({{31, 3}, {31, 12}, {40, 12}}), rgba(0xA9BCD0));
    for (int i = 0; i < 6; ++i) {
        const double y = 17 + i * 4.5;
        const double end = i == 5 ? 26 : (i % 2 ? 34 : 36);
        c.fill(segment(13, y, end, y, 1.8), rgba(i == 0 ? 0x1F5FCC : 0x6C8FB8));
    }
    return toBitmap(c);
}

Bitmap blueArrow(const Frame& f) {
    Canvas c = canvasFor(48, 48, f);
    const std::vector<Point> arrow{{5, 17}, {25, 17}, {25, 7}, {44, 24}, {25, 41}, {25, 31}, {5, 31}};
    c.fill(place(polygon(arrow), 1.5, 1.5, 1), rgba(0x000000, 0.2));
    c.fill(polygon({{4, 16}, {24, 16}, {24, 5}, {45.5, 24}, {24, 43}, {24, 32}, {4, 32}}), rgba(0x0B3A8F));
    c.fill(polygon(arrow), linear(0, 8, rgba(0x7FC0FF), 0, 40, rgba(0x1554C8)));
    c.fill(polygon({{6, 18.5}, {26, 18.5}, {26, 10}, {39, 22}, {6, 22}}), rgba(0xFFFFFF, 0.25));
    return toBitmap(c);
}

Bitmap pointingHand(const Frame& f) {
    Canvas c = canvasFor(32, 32, f);
    const Rgba edge = rgba(0x8A5A2B);
    const Rgba skin = rgba(0xFFD9AE);
    // Sleeve.
    c.fill(roundRect(1, 11, 9.5, 27, 1.5), rgba(0x1B3F8F));
    c.fill(roundRect(2, 12, 8.5, 26, 1), linear(0, 12, rgba(0x4A7FE0), 0, 26, rgba(0x234FA8)));
    // Palm and fingers: an outline pass, then the skin.
    struct Part { double x0, y0, x1, y1, w; };
    const Part fingers[] = {{13, 14, 29, 14, 5}, {16, 19, 23, 19, 4.6}, {16, 22.8, 22, 22.8, 4.4}, {15, 26.2, 20, 26.2, 4}};
    c.fill(roundRect(8, 11, 21, 28.5, 4.5), edge);
    for (const Part& p : fingers) c.fill(segment(p.x0, p.y0, p.x1, p.y1, p.w + 2), edge);
    c.fill(segment(12, 14, 17.5, 9.5, 5.6), edge);
    c.fill(roundRect(9, 12, 20, 27.5, 3.5), skin);
    c.fill(segment(12, 14, 17.5, 9.5, 3.6), skin);
    for (const Part& p : fingers) c.fill(segment(p.x0, p.y0, p.x1, p.y1, p.w), skin);
    c.fill(segment(15, 12.8, 28, 12.8, 1.3), rgba(0xFFFFFF, 0.5));
    c.fill(roundRect(26.2, 12.6, 29.2, 15.4, 1.2), rgba(0xFFF1E0));  // nail
    return toBitmap(c);
}

Bitmap exitDoor(const Frame& f) {
    Canvas c = canvasFor(24, 24, f);
    c.fill(rect(2, 2, 13.5, 22.5), rgba(0x4D4D4D));
    c.fill(rect(3.2, 3.2, 12.3, 22.5), rgba(0x1A1A1A));
    c.fill(polygon({{3.2, 3.2}, {10.5, 5.5}, {10.5, 23.5}, {3.2, 22.5}}), linear(3, 0, rgba(0xC9823A), 11, 0, rgba(0x8A4E16)));
    c.fill(circle(9, 14, 0.9), rgba(0xFFE08A));
    c.fill(segment(12.5, 12.5, 19, 12.5, 3), rgba(0x168A2E));
    c.fill(polygon({{17, 7.5}, {23, 12.5}, {17, 17.5}}), rgba(0x168A2E));
    c.fill(segment(13, 12, 18.5, 12, 1), rgba(0x7CE08F));
    return toBitmap(c);
}

Bitmap greenCheck(const Frame& f) {
    Canvas c = canvasFor(24, 24, f);
    c.fill(unite(segment(3.5, 12.5, 9.5, 18.5, 5.6), segment(9.5, 18.5, 20.5, 5, 5.6)), rgba(0x0E6B1F));
    c.fill(unite(segment(3.5, 12.5, 9.5, 18.5, 3.8), segment(9.5, 18.5, 20.5, 5, 3.8)),
           linear(0, 4, rgba(0x6CE06A), 0, 20, rgba(0x1E9A2C)));
    return toBitmap(c);
}

// Emblem: a white sail over two waves on a navy disc.
void paintEmblem(Canvas& c, double cx, double cy, double r) {
    const double s = r / 20.0;
    auto at = [&](double x, double y) { return Point{cx + x * s, cy + y * s}; };
    c.fill(circle(cx, cy, r), rgba(0x0B2A6F));
    c.fill(circle(cx, cy, r - 1.2 * s), radial(cx - 6 * s, cy - 8 * s, 26 * s, rgba(0x3F7FE0), rgba(0x0C2F86)));
    c.fill(polygon({at(-1, -15), at(-1, 7), at(-12, 7)}), rgba(0xFFFFFF));
    c.fill(polygon({at(1.5, -12), at(1.5, 7), at(11, 7)}), rgba(0xDDE9FF));
    c.fill(subtract(ellipse(cx, cy + 13 * s, 17 * s, 5 * s), ellipse(cx, cy + 11.3 * s, 17 * s, 4.2 * s)),
           rgba(0x8FD3FF));
    c.fill(subtract(ellipse(cx, cy + 17 * s, 14 * s, 4 * s), ellipse(cx, cy + 15.5 * s, 14 * s, 3.4 * s)),
           rgba(0x8FD3FF));
}

// "ZEMO" in rounded strokes, in a box of unit height.
Inside wordmark() {
    const double w = 0.2;
    Inside z = unite(unite(segment(0.06, 0.08, 0.62, 0.08, w), segment(0.62, 0.08, 0.06, 0.92, w)),
                     segment(0.06, 0.92, 0.64, 0.92, w));
    Inside e = unite(unite(segment(0.88, 0.08, 0.88, 0.92, w), segment(0.88, 0.08, 1.38, 0.08, w)),
                     unite(segment(0.88, 0.5, 1.3, 0.5, w), segment(0.88, 0.92, 1.4, 0.92, w)));
    Inside m = unite(unite(segment(1.66, 0.92, 1.66, 0.08, w), segment(1.66, 0.08, 1.98, 0.6, w)),
                     unite(segment(1.98, 0.6, 2.3, 0.08, w), segment(2.3, 0.08, 2.3, 0.92, w)));
    Inside o = subtract(ellipse(2.87, 0.5, 0.36, 0.52), ellipse(2.87, 0.5, 0.17, 0.32));
    return unite(unite(z, e), unite(m, o));
}

Bitmap logo(const Frame& f) {
    Canvas c = canvasFor(145, 49, f);
    paintEmblem(c, 24.5, 24.5, 22);
    const double h = 26, x0 = 54, y0 = 6;
    Inside word = slant(place(wordmark(), x0, y0, h), y0 + h, 0.18);
    c.fill(place(word, 1.2, 1.2, 1), rgba(0x000000, 0.25));
    c.fill(word, linear(0, y0, rgba(0x1C3F9E), 0, y0 + h, rgba(0x0A1F5C)));
    c.fill(roundRect(55, 37, 141, 40.5, 1.7), rgba(0x1F8FE0));
    c.fill(roundRect(55, 42.5, 120, 44.5, 1), rgba(0x8FD3FF));
    return toBitmap(c);
}

}  // namespace

void pictureSize(Picture picture, int& width, int& height) {
    switch (picture) {
        case Picture::Background: width = 640; height = 480; return;
        case Picture::InfoIcon:
        case Picture::Star:
        case Picture::PointingHand: width = height = 32; return;
        case Picture::Document:
        case Picture::BlueArrow: width = height = 48; return;
        case Picture::ExitDoor:
        case Picture::GreenCheck: width = height = 24; return;
        case Picture::Logo: width = 145; height = 49; return;
        case Picture::None: break;
    }
    width = height = 0;
}

Bitmap drawPicture(Picture picture) { return drawPicture(picture, 1.0, 0, 0); }

Bitmap drawPicture(Picture picture, double scale, int maxWidth, int maxHeight) {
    const Frame f{scale, scale, maxWidth, maxHeight};
    switch (picture) {
        case Picture::Background: return background(f);
        case Picture::InfoIcon: return infoIcon(f);
        case Picture::Star: return star(f);
        case Picture::Document: return document(f);
        case Picture::BlueArrow: return blueArrow(f);
        case Picture::PointingHand: return pointingHand(f);
        case Picture::ExitDoor: return exitDoor(f);
        case Picture::GreenCheck: return greenCheck(f);
        case Picture::Logo: return logo(f);
        case Picture::None: break;
    }
    return Bitmap{};
}

Bitmap drawEmblem(int size) {
    Canvas c(size, size);
    paintEmblem(c, size / 2.0, size / 2.0, size / 2.0 - 0.5);
    return toBitmap(c);
}

}  // namespace resources
