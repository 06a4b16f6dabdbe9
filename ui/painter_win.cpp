#include "ui/painter_win.h"

#include <algorithm>
#include <cstring>

#include "ui/scale_win.h"
#include "base/utf8_text.h"
#include "resources/bitmap_ops.h"
#include "resources/pictures.h"

namespace ui {

COLORREF toColorRef(Colour c) {
    if ((c & kSystemColourFlag) == kSystemColourFlag) return GetSysColor(static_cast<int>(c & 0xFF));
    return static_cast<COLORREF>(c & 0xFFFFFF);
}

namespace {

void fillRect(HDC dc, const RECT& r, COLORREF colour) {
    BrushHandle brush(CreateSolidBrush(colour));
    FillRect(dc, &r, brush.get());
}

// Draws a caption. Where the program's code page is UTF-8, a caption that
// is not UTF-8 came from outside in a legacy code page: it is decoded here
// rather than left to show replacement marks. Elsewhere the system's own
// code page holds, as it always did, except for a caption in UTF-8 beyond
// ASCII (the program's own "…"), which that code page may not hold.
bool BeyondAscii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

void drawCaption(HDC dc, const std::string& text, RECT* box, UINT flags) {
    if (GetACP() != CP_UTF8 && !(BeyondAscii(text) && base::IsUtf8(text))) {
        DrawTextA(dc, text.c_str(), -1, box, flags);
        return;
    }
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 on Windows");
    const std::u16string wide = base::DisplayText(text);
    DrawTextW(dc, reinterpret_cast<const wchar_t*>(wide.c_str()), static_cast<int>(wide.size()), box, flags);
}

void fillRect(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    const RECT r{left, top, right, bottom};
    if (right > left && bottom > top) fillRect(dc, r, colour);
}

// A frame t pixels wide inside r: `tl` along the top and the left, `br`
// along the right and the bottom, which holds both bottom corners and the
// top-right one.
void edge(HDC dc, const RECT& r, int t, COLORREF tl, COLORREF br) {
    fillRect(dc, r.left, r.top, r.right - t, r.top + t, tl);
    fillRect(dc, r.left, r.top + t, r.left + t, r.bottom - t, tl);
    fillRect(dc, r.right - t, r.top, r.right, r.bottom - t, br);
    fillRect(dc, r.left, r.bottom - t, r.right, r.bottom, br);
}

RECT inset(const RECT& r, int t) { return RECT{r.left + t, r.top + t, r.right - t, r.bottom - t}; }

// The colour a component lies on: its own, or its nearest parent's.
Colour backgroundOf(const Component& c) {
    const Component* owner = &c;
    while (owner->colour == kColourNone && owner->parent) owner = owner->parent;
    return owner->colour;
}

}  // namespace

COLORREF Painter::colour(Colour designed, int systemColour) const {
    return highContrast_ ? GetSysColor(systemColour) : toColorRef(designed);
}

void Painter::setScale(const Scale& scale) {
    if (scale.dpi() == scale_.dpi()) return;
    scale_ = scale;
    fonts_.clear();
    pictures_.clear();
}

RECT Painter::rectOf(const Component& c) const { return scaledRect(c, scale_); }

// A raised (or sunken) frame inside r, as wide as one design pixel.
void Painter::frame(HDC dc, const RECT& r, bool raised) {
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
    edge(dc, r, scale_.line(1), raised ? light : dark, raised ? dark : light);
}

// The face of an ordinary push button. At the design DPI it is the
// system's own; at other DPIs its two edges are drawn as wide as the scale
// asks.
void Painter::paintButtonFace(HDC dc, const RECT& r, bool down) {
    if (scale_.dpi() == kDesignDpi) {
        RECT face = r;
        DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0));
        return;
    }
    fillRect(dc, r, GetSysColor(COLOR_BTNFACE));
    const int t = scale_.line(1);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_3DDKSHADOW);
    const COLORREF innerLight = GetSysColor(COLOR_3DLIGHT), innerDark = GetSysColor(COLOR_BTNSHADOW);
    edge(dc, r, t, down ? dark : light, down ? light : dark);
    edge(dc, inset(r, t), t, down ? innerDark : innerLight, down ? innerLight : innerDark);
}

// The progress bar: smooth and continuous, in the same look under every
// visual style, with a border two design pixels wide: a sunken edge, then a
// grey frame around the white trough. The filled part is the system's
// highlight colour, as wide as the position's share of the trough.
void Painter::paintProgressBar(HDC dc, const Component& c) {
    constexpr COLORREF kFrame = RGB(0xAE, 0xAE, 0xAE);
    const RECT r = rectOf(c);
    const int t = scale_.line(1);
    edge(dc, r, t, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    const COLORREF frameColour = highContrast_ ? GetSysColor(COLOR_WINDOWTEXT) : kFrame;
    edge(dc, inset(r, t), t, frameColour, frameColour);
    const RECT trough = inset(r, 2 * t);
    const int span = c.max() - c.min();
    const int filled = span > 0 ? MulDiv(c.position() - c.min(), trough.right - trough.left, span) : 0;
    fillRect(dc, trough.left, trough.top, trough.left + filled, trough.bottom, GetSysColor(COLOR_HIGHLIGHT));
    fillRect(dc, trough.left + filled, trough.top, trough.right, trough.bottom, GetSysColor(COLOR_WINDOW));
}

HFONT Painter::font(const Font& f) {
    const int height = scale_.px(f.size);
    auto key = std::make_tuple(height, f.bold, f.italic);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
        HFONT h = CreateFontA(-height, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, f.italic, FALSE, FALSE,
                              DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                              DEFAULT_PITCH | FF_SWISS, "Arial");
        it = fonts_.emplace(key, FontHandle(h)).first;
    }
    return it->second.get();
}

// A picture as it is shown in a box of width x height: stretched pictures
// are drawn at the scaled natural size and then fitted to the box, the
// others are drawn at the scaled natural size and only as much of them as
// the box shows.
const Painter::Picture32& Painter::picture(Picture p, int width, int height, bool stretch, bool disabled) {
    auto key = std::make_tuple(static_cast<int>(p), width, height, stretch, disabled);
    auto it = pictures_.find(key);
    if (it != pictures_.end()) return it->second;
    resources::Bitmap b;
    if (stretch) {
        b = resources::drawPicture(p, scale_.factor(), 0, 0);
        if (b.width != width || b.height != height) b = resources::scaled(b, width, height);
    } else {
        b = resources::drawPicture(p, scale_.factor(), width, height);
    }
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
    const Picture32& pic = picture(p, r.right - r.left, r.bottom - r.top, stretch, disabled);
    if (!pic.bitmap) return;
    MemoryDc mem(CreateCompatibleDC(dc));
    Selected sel(mem.get(), pic.bitmap.get());
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(dc, r.left, r.top, pic.width, pic.height, mem.get(), 0, 0, pic.width, pic.height, blend);
}

Font Painter::fittedFont(HDC dc, const Component& c, const RECT& r) {
    // Down to about two thirds of the designed size, a point at a time.
    Font f = c.font();
    const int smallest = std::max(8, f.size * 2 / 3);
    for (; f.size > smallest; --f.size) {
        Selected sel(dc, font(f));
        RECT need = r;
        drawCaption(dc, c.caption(), &need, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
        if (need.right - need.left <= r.right - r.left) break;
    }
    return f;
}

void Painter::paintText(HDC dc, const Component& c, const RECT& r, UINT flags) {
    const Font shown = c.shrinkToFit ? fittedFont(dc, c, r) : c.font();
    // A text that had to shrink stays on its one line, in its middle.
    if (shown.size != c.font().size) flags = (flags & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_VCENTER;
    Selected sel(dc, font(shown));
    SetBkMode(dc, TRANSPARENT);
    RECT box = r;
    if (highContrast_) {
        const int role = !c.enabled() ? COLOR_GRAYTEXT
                         : c.kind == Kind::Button ? COLOR_BTNTEXT
                         : c.link ? COLOR_HOTLIGHT
                                     : COLOR_WINDOWTEXT;
        SetTextColor(dc, GetSysColor(role));
    } else if (!c.enabled()) {
        OffsetRect(&box, scale_.line(1), scale_.line(1));
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        drawCaption(dc, c.caption(), &box, flags);
        box = r;
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    } else {
        SetTextColor(dc, toColorRef(c.font().colour));
    }
    drawCaption(dc, c.caption(), &box, flags);
}

void Painter::paintButton(HDC dc, const Component& c, const ButtonState& buttons) {
    const RECT r = rectOf(c);
    const bool down = c.enabled() && buttons.pressed == &c && buttons.hot == &c;
    const bool hot = c.enabled() && buttons.hot == &c;
    if (!c.flat) {
        paintButtonFace(dc, r, down);
    } else if (highContrast_) {
        fillRect(dc, r, GetSysColor(COLOR_BTNFACE));
        frame(dc, r, !down);
    } else if (down) {
        frame(dc, r, false);
    } else if (hot) {
        frame(dc, r, true);
    }
    // Glyph to the left of the caption, the pair centred, 4 pixels apart.
    int gw = 0, gh = 0;
    if (c.glyph != Picture::None) {
        resources::pictureSize(c.glyph, gw, gh);
        gw = scale_.px(gw);
        gh = scale_.px(gh);
    }
    SIZE text{0, 0};
    {
        Selected sel(dc, font(c.font()));
        GetTextExtentPoint32A(dc, c.caption().c_str(), static_cast<int>(c.caption().size()), &text);
    }
    const int spacing = gw > 0 && !c.caption().empty() ? scale_.px(4) : 0;
    const int total = gw + spacing + text.cx;
    const int offset = down ? scale_.line(1) : 0;
    int x = r.left + (r.right - r.left - total) / 2 + offset;
    const int cy = (r.top + r.bottom) / 2 + offset;
    if (gw > 0) {
        RECT g{x, cy - gh / 2, x + gw, cy - gh / 2 + gh};
        drawPicture(dc, c.glyph, g, false, !c.enabled());
        x += gw + spacing;
    }
    RECT t{x, cy - text.cy / 2, x + text.cx + scale_.px(2), cy - text.cy / 2 + text.cy};
    paintText(dc, c, t, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    if (buttons.focused == &c) paintFocus(dc, c, inset(r, scale_.px(3)));
}

// The dotted focus rectangle, inside a button or around a link's text.
void Painter::paintFocus(HDC dc, const Component& c, RECT r) {
    if (c.link) {
        Selected sel(dc, font(c.font()));
        DrawTextA(dc, c.caption().c_str(), -1, &r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
        InflateRect(&r, scale_.line(1), 0);
    }
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    DrawFocusRect(dc, &r);
}

void Painter::paintOne(HDC dc, const Component& c, const ButtonState& buttons) {
    RECT r = rectOf(c);
    switch (c.kind) {
        case Kind::Panel:
        case Kind::TabSheet:
            // A page without a colour of its own shows its panel's colour.
            fillRect(dc, r, colour(backgroundOf(c), COLOR_WINDOW));
            break;
        case Kind::Image:
            // In high contrast the background picture is left out.
            if (c.picture() != Picture::None && !(highContrast_ && c.picture() == Picture::Background))
                drawPicture(dc, c.picture(), r, c.stretch, false);
            break;
        case Kind::Shape: {
            // A shape of its panel's colour is a surface; the others (the
            // bullets) are marks.
            const bool surface = c.parent && c.colour == backgroundOf(*c.parent);
            BrushHandle brush(CreateSolidBrush(colour(c.colour, surface ? COLOR_WINDOW : COLOR_WINDOWTEXT)));
            Selected b(dc, brush.get());
            Selected p(dc, GetStockObject(NULL_PEN));
            // Without a pen GDI leaves out the right and bottom edge: add one.
            const int w = r.right - r.left, h = r.bottom - r.top;
            if (c.shape == ShapeKind::Circle) {
                const int d = std::min(w, h);
                const int x = r.left + (w - d) / 2, y = r.top + (h - d) / 2;
                Ellipse(dc, x, y, x + d + 1, y + d + 1);
            } else if (c.shape == ShapeKind::RoundRect) {
                const int s = std::min(w, h) / 4;
                RoundRect(dc, r.left, r.top, r.right + 1, r.bottom + 1, s, s);
            } else {
                Rectangle(dc, r.left, r.top, r.right + 1, r.bottom + 1);
            }
            break;
        }
        case Kind::Label: {
            if (c.autoSize) r.right = r.left + scale_.px(1000);
            const UINT align = c.alignment == Align::Centre ? DT_CENTER : DT_LEFT;
            paintText(dc, c, r, align | DT_SINGLELINE | DT_NOPREFIX | (c.autoSize ? DT_NOCLIP : 0));
            if (buttons.focused == &c) paintFocus(dc, c, rectOf(c));
            break;
        }
        case Kind::StaticText: {
            if (c.colour != kColourNone) fillRect(dc, r, colour(c.colour, COLOR_WINDOW));
            const UINT align = c.alignment == Align::Centre ? DT_CENTER : DT_LEFT;
            paintText(dc, c, r, align | DT_WORDBREAK | DT_NOPREFIX);
            break;
        }
        case Kind::Bevel:
            if (c.bevel == BevelKind::BottomLine) {
                const int t = scale_.line(1);
                fillRect(dc, r.left, r.bottom - 2 * t, r.right, r.bottom - t, GetSysColor(COLOR_BTNSHADOW));
                fillRect(dc, r.left, r.bottom - t, r.right, r.bottom, GetSysColor(COLOR_BTNHIGHLIGHT));
            } else {
                frame(dc, r, true);
            }
            break;
        case Kind::Button:
            paintButton(dc, c, buttons);
            break;
        case Kind::ProgressBar:
            paintProgressBar(dc, c);
            break;
        case Kind::PageControl:
            if (c.activePage()) {
                const RECT pr = rectOf(*c.activePage());
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

void Painter::paint(HDC dc, Form& form, const RECT& clip, const ButtonState& buttons) {
    Component& window = form.root();
    fillRect(dc, clip, colour(window.colour, COLOR_WINDOW));
    paintChildren(dc, window, buttons);
}

}  // namespace ui
