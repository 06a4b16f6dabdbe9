// Move-only owners of the GDI objects the window keeps.
#pragma once

#include <windows.h>

#include "base/unique_handle_win.h"

namespace ui {

using FontHandle = win::UniqueHandle<win::GdiObject<HFONT>>;
using BitmapHandle = win::UniqueHandle<win::GdiObject<HBITMAP>>;
using BrushHandle = win::UniqueHandle<win::GdiObject<HBRUSH>>;
using PenHandle = win::UniqueHandle<win::GdiObject<HPEN>>;
using MemoryDc = win::UniqueHandle<win::MemoryDeviceContext>;

// Selects an object into a DC for one scope.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~Selected() { SelectObject(dc_, old_); }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace ui
