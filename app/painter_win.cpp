#include "app/painter_win.h"

#include <algorithm>
#include <cstring>

#include "app/window_win.h"
#include "resources/bitmap_ops.h"
#include "resources/pictures.h"

namespace app {

COLORREF toColorRef(Colour c) {
    if ((c & kSystemColourFlag) == kSystemColourFlag) return GetSysColor(static_cast<int>(c & 0xFF));
    return static_cast<COLORREF>(c & 0xFFFFFF);
}

namespace {

void fillRect(HDC dc, const RECT& r, COLORREF colour) {
    BrushHandle brush(CreateSolidBrush(colour));
    FillRect(dc, &r, brush.get());
}

void line(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour) {
    PenHandle pen(CreatePen(PS_SOLID, 1, colour));
    Selected sel(dc, pen.get());
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

// A one-pixel raised (or sunken) frame inside r.
void frame(HDC dc, const RECT& r, bool raised) {
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF tl = raised ? light : dark, br = raised ? dark : light;
    line(dc, r.left, r.bottom - 1, r.left, r.top, tl);
    line(dc, r.left, r.top, r.right - 1, r.top, tl);
    line(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1, br);
    line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, br);
}

}  // namespace

HFONT Painter::font(const Font& f) {
    auto key = std::make_tuple(f.size, f.bold, f.italic);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
        HFONT h = CreateFontA(-f.size, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, f.italic, FALSE, FALSE,
                              DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                              DEFAULT_PITCH | FF_SWISS, "Arial");
        it = fonts_.emplace(key, FontHandle(h)).first;
    }
    return it->second.get();
}

const Painter::Picture32& Painter::picture(Picture p, int width, int height, bool disabled) {
    auto key = std::make_tuple(static_cast<int>(p), width, height, disabled);
    auto it = pictures_.find(key);
    if (it != pictures_.end()) return it->second;
    resources::Bitmap b = resources::drawPicture(p);
    if (b.width != width || b.height != height) b = resources::scaled(b, width, height);
    if (disabled) b = resources::greyed(b);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = b.width;
    info.bmiHeader.biHeight = -b.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Picture32 pic;
    pic.bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bits) std::memcpy(bits, b.pixels.data(), b.pixels.size() * sizeof(uint32_t));
    pic.width = b.width;
    pic.height = b.height;
    return pictures_.emplace(key, std::move(pic)).first->second;
}

void Painter::drawPicture(HDC dc, Picture p, const RECT& r, bool stretch, bool disabled) {
    int w = 0, h = 0;
    resources::pictureSize(p, w, h);
    if (stretch) {
        w = r.right - r.left;
        h = r.bottom - r.top;
    }
    const Picture32& pic = picture(p, w, h, disabled);
    if (!pic.bitmap) return;
    MemoryDc mem(CreateCompatibleDC(dc));
    Selected sel(mem.get(), pic.bitmap.get());
    const int cw = std::min<int>(pic.width, r.right - r.left), ch = std::min<int>(pic.height, r.bottom - r.top);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, r.left, r.top, cw, ch, mem.get(), 0, 0, cw, ch, blend);
}

void Painter::paintText(HDC dc, const Component& c, const RECT& r, UINT flags) {
    Selected sel(dc, font(c.font()));
    SetBkMode(dc, TRANSPARENT);
    RECT box = r;
    if (!c.enabled()) {
        OffsetRect(&box, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, c.caption().c_str(), -1, &box, flags);
        box = r;
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    } else {
        SetTextColor(dc, toColorRef(c.font().colour));
    }
    DrawTextA(dc, c.caption().c_str(), -1, &box, flags);
}

void Painter::paintSpeedButton(HDC dc, const Component& c, const ButtonState& buttons) {
    const RECT r = absoluteRect(c);
    const bool down = c.enabled() && buttons.pressed == &c && buttons.hot == &c;
    const bool hot = c.enabled() && buttons.hot == &c;
    if (!c.flat) {
        RECT face = r;
        DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0));
    } else if (down) {
        frame(dc, r, false);
    } else if (hot) {
        frame(dc, r, true);
    }
    // Glyph to the left of the caption, the pair centred, 4 pixels apart.
    int gw = 0, gh = 0;
    if (c.glyph != Picture::None) resources::pictureSize(c.glyph, gw, gh);
    SIZE text{0, 0};
    {
        Selected sel(dc, font(c.font()));
        GetTextExtentPoint32A(dc, c.caption().c_str(), static_cast<int>(c.caption().size()), &text);
    }
    const int spacing = gw > 0 && !c.caption().empty() ? 4 : 0;
    const int total = gw + spacing + text.cx;
    const int offset = down ? 1 : 0;
    int x = r.left + (r.right - r.left - total) / 2 + offset;
    const int cy = (r.top + r.bottom) / 2 + offset;
    if (gw > 0) {
        RECT g{x, cy - gh / 2, x + gw, cy - gh / 2 + gh};
        drawPicture(dc, c.glyph, g, false, !c.enabled());
        x += gw + spacing;
    }
    RECT t{x, cy - text.cy / 2, x + text.cx + 2, cy - text.cy / 2 + text.cy};
    paintText(dc, c, t, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
}

void Painter::paintOne(HDC dc, const Component& c, const ButtonState& buttons) {
    RECT r = absoluteRect(c);
    switch (c.kind) {
        case Kind::Panel:
        case Kind::TabSheet: {
            // A page without a colour of its own shows its panel's colour.
            const Component* owner = &c;
            while (owner->colour == kColourNone && owner->parent) owner = owner->parent;
            fillRect(dc, r, toColorRef(owner->colour));
            break;
        }
        case Kind::Image:
            if (c.picture() != Picture::None) drawPicture(dc, c.picture(), r, c.stretch, false);
            break;
        case Kind::Shape: {
            BrushHandle brush(CreateSolidBrush(toColorRef(c.colour)));
            Selected b(dc, brush.get());
            Selected p(dc, GetStockObject(NULL_PEN));
            // Without a pen GDI leaves out the right and bottom edge: add one.
            if (c.shape == ShapeKind::Circle) {
                const int d = std::min(c.width, c.height);
                const int x = r.left + (c.width - d) / 2, y = r.top + (c.height - d) / 2;
                Ellipse(dc, x, y, x + d + 1, y + d + 1);
            } else if (c.shape == ShapeKind::RoundRect) {
                const int s = std::min(c.width, c.height) / 4;
                RoundRect(dc, r.left, r.top, r.right + 1, r.bottom + 1, s, s);
            } else {
                Rectangle(dc, r.left, r.top, r.right + 1, r.bottom + 1);
            }
            break;
        }
        case Kind::Label: {
            if (c.autoSize) r.right = r.left + 1000;
            const UINT align = c.alignment == Align::Centre ? DT_CENTER : DT_LEFT;
            paintText(dc, c, r, align | DT_SINGLELINE | DT_NOPREFIX | (c.autoSize ? DT_NOCLIP : 0));
            break;
        }
        case Kind::StaticText: {
            if (c.colour != kColourNone) fillRect(dc, r, toColorRef(c.colour));
            const UINT align = c.alignment == Align::Centre ? DT_CENTER : DT_LEFT;
            paintText(dc, c, r, align | DT_WORDBREAK | DT_NOPREFIX);
            break;
        }
        case Kind::Bevel:
            if (c.bevel == BevelKind::BottomLine) {
                line(dc, r.left, r.bottom - 2, r.right, r.bottom - 2, GetSysColor(COLOR_BTNSHADOW));
                line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, GetSysColor(COLOR_BTNHIGHLIGHT));
            } else {
                frame(dc, r, true);
            }
            break;
        case Kind::SpeedButton:
            paintSpeedButton(dc, c, buttons);
            break;
        case Kind::PageControl:
            if (c.activePage()) {
                const RECT pr = absoluteRect(*c.activePage());
                const int saved = SaveDC(dc);
                IntersectClipRect(dc, pr.left, pr.top, pr.right, pr.bottom);
                paintOne(dc, *c.activePage(), buttons);
                paintChildren(dc, *c.activePage(), buttons);
                RestoreDC(dc, saved);
            }
            break;
        default:
            break;  // windows of their own, or not visible
    }
}

void Painter::paintChildren(HDC dc, const Component& parent, const ButtonState& buttons) {
    for (const Component* child : parent.children) {
        if (child->kind == Kind::TabSheet) continue;  // the page control paints its active page
        paintOne(dc, *child, buttons);
        if (child->kind == Kind::Panel) paintChildren(dc, *child, buttons);
    }
}

void Painter::paint(HDC dc, Layout& layout, const RECT& clip, const ButtonState& buttons) {
    Component& form = layout.form();
    fillRect(dc, clip, toColorRef(form.colour));
    paintChildren(dc, form, buttons);
}

}  // namespace app
