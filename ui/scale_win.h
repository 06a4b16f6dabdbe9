// The scale's places as Win32 rectangles, for the window, its painter and
// its tooltips.
#pragma once

#include <windows.h>

#include "ui/scale.h"

namespace ui {

// Place of a component in the window's client area at that scale.
inline RECT scaledRect(const Component& c, const Scale& scale) {
    const Box b = ScaledBox(c, scale);
    return RECT{b.left, b.top, b.right, b.bottom};
}

}  // namespace ui
