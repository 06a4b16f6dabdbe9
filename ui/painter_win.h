// Paints the components of a form with GDI, at the window's scale.
#pragma once

#include <windows.h>

#include <map>
#include <tuple>

#include "ui/component.h"
#include "ui/scale.h"
#include "ui/gdi_win.h"
#include "ui/form.h"

namespace ui {

struct ButtonState {
    const Component* hot = nullptr;
    const Component* pressed = nullptr;
    const Component* focused = nullptr;  // drawn with a focus rectangle
};

class Painter {
public:
    // Paints at this scale from now on; fonts and pictures of another scale
    // are let go.
    void setScale(const Scale& scale);
    const Scale& scale() const { return scale_; }
    // Paints with the system's colour pairs instead of the designed ones
    // (window and window text, button face and button text, grey text,
    // highlight), without the background picture.
    void setHighContrast(bool on) { highContrast_ = on; }
    // Paints the whole client area within `clip` onto `dc`.
    void paint(HDC dc, Form& form, const RECT& clip, const ButtonState& buttons);
    HFONT font(const Font& f);

private:
    struct Picture32 {
        BitmapHandle bitmap;
        int width = 0, height = 0;
    };
    RECT rectOf(const Component& c) const;
    void paintChildren(HDC dc, const Component& parent, const ButtonState& buttons);
    void paintOne(HDC dc, const Component& c, const ButtonState& buttons);
    void paintText(HDC dc, const Component& c, const RECT& r, UINT flags);
    // The component's font, made smaller where its caption would not fit
    // on one line of the box.
    Font fittedFont(HDC dc, const Component& c, const RECT& r);
    void paintFocus(HDC dc, const Component& c, RECT r);
    // The designed colour, or in high contrast the system colour of its role.
    COLORREF colour(Colour designed, int systemColour) const;
    void paintButton(HDC dc, const Component& c, const ButtonState& buttons);
    void paintButtonFace(HDC dc, const RECT& r, bool down);
    void paintProgressBar(HDC dc, const Component& c);
    void frame(HDC dc, const RECT& r, bool raised);
    void drawPicture(HDC dc, Picture p, const RECT& r, bool stretch, bool disabled);
    const Picture32& picture(Picture p, int width, int height, bool stretch, bool disabled);

    Scale scale_;
    bool highContrast_ = false;
    std::map<std::tuple<int, bool, bool>, FontHandle> fonts_;
    // Each picture is drawn once per size it is shown at.
    std::map<std::tuple<int, int, int, bool, bool>, Picture32> pictures_;
};

COLORREF toColorRef(Colour c);

}  // namespace ui
