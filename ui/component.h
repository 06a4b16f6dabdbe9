// Plain components of the main window: each holds its properties, and a
// change of a property that shows on screen is passed to the observer (the
// Win32 renderer when a window exists; nobody in headless tests).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/picture.h"

namespace ui {

using base::Colour;
using base::kSystemColourFlag;
using base::kColourWindowText;
using base::kColour3DLight;
using base::kColourBtnFace;
using base::kColourNone;
using base::rgb;
using base::kNavy;
using base::kBlue;
using base::kGreen;
using base::kMaroon;
using base::kRed;
using base::kBlack;
using base::kSkyBlue;
using base::Picture;

enum class Kind {
    Form, Panel, Image, Shape, Label, StaticText, Bevel, Button,
    PageControl, TabSheet, ProgressBar, Timer, ImageList
};

enum class Align { Left, Centre };
enum class ShapeKind { Rectangle, RoundRect, Circle };
enum class BevelKind { RaisedBox, BottomLine };

struct Font {
    int size = 13;  // character height in pixels
    bool bold = false;
    bool italic = false;
    Colour colour = kColourWindowText;
};

// What changed, so that the renderer redraws only what it must.
enum class Prop { Caption, FontColour, Enabled, Position, Range, ActivePage, TabVisible, Picture, TimerState };

class Component;

class ComponentObserver {
public:
    virtual ~ComponentObserver() = default;
    virtual void changed(Component& c, Prop p) = 0;
    // Paint the component now, even if the thread is busy afterwards.
    virtual void repaintNow(Component& c) = 0;
};

class Component {
public:
    Component(Kind kind, std::string name, Component* parent);
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    // --- fixed at design time (the form's layout) ---
    Kind kind;
    std::string name;
    Component* parent;
    std::vector<Component*> children;  // stacking order, bottom first
    int left = 0, top = 0, width = 0, height = 0;
    Colour colour = kColourNone;       // background, or brush of a shape
    Align alignment = Align::Left;
    bool autoSize = false;
    bool wordWrap = false;
    bool transparent = false;
    bool stretch = false;
    bool flat = false;                 // buttons drawn without a frame until hot
    bool handCursor = false;
    bool link = false;                 // a text that opens a web page
    bool bevelOuter = false;           // panels: raised outer bevel
    std::string hint;                  // tooltip text; shown only when showHint
    bool showHint = false;
    Picture glyph = Picture::None;     // button glyph
    ShapeKind shape = ShapeKind::Rectangle;
    BevelKind bevel = BevelKind::RaisedBox;
    int interval = 0;                  // timers, milliseconds
    std::function<void()> onClick;     // also the timer's event
    // Screen readers: the texts read as a control's description when it
    // takes the focus (what the page says around its main action), each
    // followed by its separator; texts that show nothing are left out.
    struct DescriptionPart {
        const Component* text;
        std::string then;
    };
    std::vector<DescriptionPart> describedBy;
    // Captions that, once shown, are raised as an alert, with the text read
    // as an alert while it shows; a caption counts when it begins with one.
    std::vector<std::string> alertCaptions;
    // A single-line text too wide for its box is drawn in a smaller font.
    bool shrinkToFit = false;
    // Pages: the buttons that take the focus when the page comes up, the
    // first of them that is enabled (the page's default button), and the
    // button that Esc presses (none: Esc asks to close the window).
    std::vector<Component*> defaultButtons;
    Component* cancelButton = nullptr;

    // --- may change at run time ---
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& text);
    const Font& font() const { return font_; }
    void setFontDesign(const Font& f) { font_ = f; }
    void setFontColour(Colour c);
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    Picture picture() const { return picture_; }
    void setPicture(Picture p);
    bool tabVisible() const { return tabVisible_; }
    void setTabVisible(bool on);
    // Progress bar.
    int min() const { return min_; }
    int max() const { return max_; }
    void setMin(int v);
    void setMax(int v);
    int position() const { return position_; }
    void setPosition(int v);           // kept within min..max
    // Page control.
    Component* activePage() const { return activePage_; }
    void setActivePage(Component* page);
    // Paint now (labels during a task that blocks the window's thread).
    void repaint();

    Component* child(const std::string& childName) const;
    void setObserver(ComponentObserver* o) { observer_ = o; }

private:
    void notify(Prop p);
    std::string caption_;
    Font font_;
    bool enabled_ = true;
    Picture picture_ = Picture::None;
    bool tabVisible_ = true;
    int min_ = 0, max_ = 100, position_ = 0;
    Component* activePage_ = nullptr;
    ComponentObserver* observer_ = nullptr;
};

// True when the component is on screen as far as the pages go: it lies on
// no page, or on the one its page control shows.
bool OnShownPage(const Component& c);

}  // namespace ui
