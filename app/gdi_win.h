// Move-only owners of the GDI objects the window keeps.
#pragma once

#include <windows.h>

#include <utility>

namespace app {

template <typename H, BOOL(WINAPI* Release)(H)>
class GdiHandle {
public:
    GdiHandle() = default;
    explicit GdiHandle(H h) : h_(h) {}
    ~GdiHandle() { reset(); }
    GdiHandle(GdiHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiHandle& operator=(GdiHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    GdiHandle(const GdiHandle&) = delete;
    GdiHandle& operator=(const GdiHandle&) = delete;
    H get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset(H h = nullptr) {
        if (h_) Release(h_);
        h_ = h;
    }

private:
    H h_ = nullptr;
};

inline BOOL WINAPI deleteGdiObject(HGDIOBJ h) { return DeleteObject(h); }
inline BOOL WINAPI deleteFont(HFONT h) { return DeleteObject(h); }
inline BOOL WINAPI deleteBitmap(HBITMAP h) { return DeleteObject(h); }
inline BOOL WINAPI deleteBrush(HBRUSH h) { return DeleteObject(h); }

using FontHandle = GdiHandle<HFONT, deleteFont>;
using BitmapHandle = GdiHandle<HBITMAP, deleteBitmap>;
using BrushHandle = GdiHandle<HBRUSH, deleteBrush>;
using MemoryDc = GdiHandle<HDC, DeleteDC>;

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

}  // namespace app
