// The window at any display scaling. The layout is given at 96 pixels per
// inch; at another DPI every length is scaled by dpi / 96 and rounded.
// Places are scaled edge by edge in window coordinates, never as position
// plus scaled size, so that components that touch at 96 DPI touch at every
// DPI, without overlap and without a gap of one pixel.
#pragma once

#include "ui/component.h"

namespace ui {

inline constexpr int kDesignDpi = 96;

// A rectangle in the window's client area: left and top inside, right and
// bottom just outside.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Box& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

class Scale {
public:
    // A DPI below 1 counts as the design DPI.
    explicit Scale(int dpi = kDesignDpi) : dpi_(dpi > 0 ? dpi : kDesignDpi) {}
    int dpi() const { return dpi_; }
    double factor() const { return static_cast<double>(dpi_) / kDesignDpi; }
    // A length or coordinate at this DPI: v * dpi / 96, halves rounded up.
    int px(int v) const;
    // A line or frame width: scaled, but never thinner than one pixel (none
    // for a width of zero or less).
    int line(int v) const;

private:
    int dpi_;
};

// A width by height, such as a window's outer size or its client area.
struct Extent {
    int width = 0, height = 0;
    bool operator==(const Extent& o) const { return width == o.width && height == o.height; }
};

// The outer size that gives a window the client area `wanted`, from the
// outer size the window has and the client area that gave: the frame as
// the system draws it, whatever DPI that follows. (A frame computed for the
// window's DPI can be wrong: on Windows 10 1607 the title bar and borders
// of a per-monitor window keep the system DPI's size unless their scaling
// is switched on for the window.)
Extent OuterFor(const Extent& wanted, const Extent& outer, const Extent& client);

// The component's place in the client area at 96 DPI.
Box DesignBox(const Component& c);
// The component's place in the client area at the given scale.
Box ScaledBox(const Component& c, const Scale& s);

}  // namespace ui
