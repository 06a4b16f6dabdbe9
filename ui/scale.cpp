#include "ui/scale.h"

#include <algorithm>

namespace ui {

namespace {

// floor(n / d + 1/2) for any sign of n (d > 0).
int divideRounded(long long n, long long d) {
    const long long twice = 2 * n + d;
    const long long q = twice / (2 * d);
    return static_cast<int>(twice % (2 * d) < 0 ? q - 1 : q);
}

}  // namespace

int Scale::px(int v) const { return divideRounded(static_cast<long long>(v) * dpi_, kDesignDpi); }

int Scale::line(int v) const { return v > 0 ? std::max(1, px(v)) : 0; }

Box DesignBox(const Component& c) {
    Box b{c.left, c.top, c.left + c.width, c.top + c.height};
    for (const Component* p = c.parent; p && p->kind != Kind::Form; p = p->parent) {
        b.left += p->left;
        b.right += p->left;
        b.top += p->top;
        b.bottom += p->top;
    }
    return b;
}

Box ScaledBox(const Component& c, const Scale& s) {
    const Box d = DesignBox(c);
    return Box{s.px(d.left), s.px(d.top), s.px(d.right), s.px(d.bottom)};
}

Extent OuterFor(const Extent& wanted, const Extent& outer, const Extent& client) {
    return Extent{wanted.width + outer.width - client.width, wanted.height + outer.height - client.height};
}

}  // namespace ui
