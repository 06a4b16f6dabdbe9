// A small anti-aliased painter for the window's pictures: shapes are
// inside-tests, painted with 4x4 samples per pixel and blended over what is
// already there.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace resources {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 1;  // 0..1, not premultiplied
};
Rgba rgba(uint32_t rgbHex, double alpha = 1.0);
Rgba mix(const Rgba& a, const Rgba& b, double t);

struct Point {
    double x, y;
};

using Inside = std::function<bool(double x, double y)>;
using Paint = std::function<Rgba(double x, double y)>;

Inside circle(double cx, double cy, double r);
Inside ellipse(double cx, double cy, double rx, double ry);
Inside rect(double x0, double y0, double x1, double y1);
Inside roundRect(double x0, double y0, double x1, double y1, double radius);
Inside polygon(std::vector<Point> points);
Inside segment(double x0, double y0, double x1, double y1, double width);  // round caps
Inside unite(Inside a, Inside b);
Inside subtract(Inside a, Inside b);

Paint solid(const Rgba& c);
Paint linear(double x0, double y0, const Rgba& c0, double x1, double y1, const Rgba& c1);
Paint radial(double cx, double cy, double radius, const Rgba& inner, const Rgba& outer);

// Shapes and paints take picture coordinates; the canvas has its own pixel
// size and maps picture coordinates to pixels by scaleX and scaleY, so that
// a picture is drawn sharp at any size instead of resampled.
class Canvas {
public:
    Canvas(int width, int height, double scaleX = 1, double scaleY = 1);
    int width() const { return width_; }
    int height() const { return height_; }
    void fill(const Inside& inside, const Paint& paint);
    void fill(const Inside& inside, const Rgba& colour) { fill(inside, solid(colour)); }
    // Paints every pixel without coverage sampling (smooth backgrounds).
    void paintAll(const Paint& paint);
    Rgba at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    // Pixels as 0xAARRGGBB, premultiplied, top row first.
    std::vector<uint32_t> premultipliedArgb() const;

private:
    int width_, height_;
    double scaleX_, scaleY_;
    std::vector<Rgba> pixels_;
};

}  // namespace resources
