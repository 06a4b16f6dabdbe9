#include "resources/canvas.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace resources {

Rgba rgba(uint32_t hex, double alpha) {
    return Rgba{((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0, alpha};
}

Rgba mix(const Rgba& a, const Rgba& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Inside circle(double cx, double cy, double r) {
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

Inside ellipse(double cx, double cy, double rx, double ry) {
    return [=](double x, double y) {
        const double dx = (x - cx) / rx, dy = (y - cy) / ry;
        return dx * dx + dy * dy <= 1.0;
    };
}

Inside rect(double x0, double y0, double x1, double y1) {
    return [=](double x, double y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; };
}

Inside roundRect(double x0, double y0, double x1, double y1, double r) {
    return [=](double x, double y) {
        if (x < x0 || x > x1 || y < y0 || y > y1) return false;
        const double cx = std::clamp(x, x0 + r, x1 - r);
        const double cy = std::clamp(y, y0 + r, y1 - r);
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
    };
}

Inside polygon(std::vector<Point> pts) {
    return [pts = std::move(pts)](double x, double y) {
        bool in = false;
        for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            const Point& a = pts[i];
            const Point& b = pts[j];
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
        }
        return in;
    };
}

Inside segment(double x0, double y0, double x1, double y1, double width) {
    return [=](double x, double y) {
        const double dx = x1 - x0, dy = y1 - y0;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const double px = x0 + t * dx - x, py = y0 + t * dy - y;
        return px * px + py * py <= width * width / 4;
    };
}

Inside unite(Inside a, Inside b) {
    return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) || b(x, y); };
}

Inside subtract(Inside a, Inside b) {
    return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) && !b(x, y); };
}

Paint solid(const Rgba& c) {
    return [c](double, double) { return c; };
}

Paint linear(double x0, double y0, const Rgba& c0, double x1, double y1, const Rgba& c1) {
    return [=](double x, double y) {
        const double dx = x1 - x0, dy = y1 - y0;
        const double len2 = dx * dx + dy * dy;
        return mix(c0, c1, len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0);
    };
}

Paint radial(double cx, double cy, double radius, const Rgba& inner, const Rgba& outer) {
    return [=](double x, double y) { return mix(inner, outer, std::hypot(x - cx, y - cy) / radius); };
}

Canvas::Canvas(int width, int height, double scaleX, double scaleY)
    : width_(width),
      height_(height),
      scaleX_(scaleX),
      scaleY_(scaleY),
      pixels_(static_cast<size_t>(width) * height, Rgba{0, 0, 0, 0}) {}

namespace {

// Porter-Duff "over" of a colour with the given coverage.
void blend(Rgba& dst, const Rgba& src, double coverage) {
    const double a = src.a * coverage;
    if (a <= 0) return;
    const double outA = a + dst.a * (1 - a);
    if (outA <= 0) return;
    auto channel = [&](double s, double d) { return (s * a + d * dst.a * (1 - a)) / outA; };
    dst = Rgba{channel(src.r, dst.r), channel(src.g, dst.g), channel(src.b, dst.b), outA};
}

}  // namespace

void Canvas::fill(const Inside& inside, const Paint& paint) {
    constexpr int kSamples = 4;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            int hits = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx)
                    if (inside((x + (sx + 0.5) / kSamples) / scaleX_, (y + (sy + 0.5) / kSamples) / scaleY_)) ++hits;
            if (hits == 0) continue;
            blend(pixels_[static_cast<size_t>(y) * width_ + x], paint((x + 0.5) / scaleX_, (y + 0.5) / scaleY_),
                  static_cast<double>(hits) / (kSamples * kSamples));
        }
    }
}

void Canvas::paintAll(const Paint& paint) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            blend(pixels_[static_cast<size_t>(y) * width_ + x], paint((x + 0.5) / scaleX_, (y + 0.5) / scaleY_), 1);
}

std::vector<uint32_t> Canvas::premultipliedArgb() const {
    std::vector<uint32_t> out(pixels_.size());
    auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    for (size_t i = 0; i < pixels_.size(); ++i) {
        const Rgba& p = pixels_[i];
        out[i] = (byte(p.a) << 24) | (byte(p.r * p.a) << 16) | (byte(p.g * p.a) << 8) | byte(p.b * p.a);
    }
    return out;
}

}  // namespace resources
