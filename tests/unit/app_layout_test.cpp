// The window's layout as designed: place, size, text, font and state of
// every component, checked against the design table.
#include <gtest/gtest.h>

#include <set>
#include <vector>
#include <string>

#include "app/layout.h"

namespace {

using ui::Align;
using ui::Colour;
using ui::Kind;

// Windows colour value of an RGB colour written as 0xRRGGBB.
constexpr Colour win(unsigned rgb) { return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16); }
constexpr Colour kWindowText = ui::kColourWindowText;
constexpr Colour kNavy = win(0x000080);
constexpr Colour kBlue = win(0x0000FF);
constexpr Colour kGreen = win(0x008000);
constexpr Colour kMaroon = win(0x800000);
constexpr Colour kRed = win(0xFF0000);

struct PlaceRow {
    const char* name;
    Kind kind;
    const char* parent;
    int left, top, width, height;
};

const PlaceRow kPlaces[] = {
    {"PanelTitle", Kind::Panel, "FormMain", 0, 0, 554, 50},
    {"ImageLogo", Kind::Image, "PanelTitle", 5, 5, 117, 41},
    {"StaticTextTitle", Kind::StaticText, "PanelTitle", 125, 0, 288, 49},
    {"LabelVersion", Kind::Label, "PanelTitle", 419, 0, 127, 14},
    {"LabelZEMOWeb", Kind::Label, "PanelTitle", 415, 33, 129, 16},
    {"Panel1", Kind::Panel, "FormMain", 0, 50, 554, 370},
    {"Image2", Kind::Image, "Panel1", 0, 0, 554, 370},
    {"Shape1", Kind::Shape, "Panel1", 10, 11, 531, 358},
    {"lblUpgradeStatus", Kind::Label, "Panel1", 87, 301, 377, 16},
    {"Bevel1", Kind::Bevel, "Panel1", 24, 291, 503, 6},
    {"LabelProgressPersent", Kind::Label, "Panel1", 495, 323, 37, 16},
    {"PageControlFirmwareUpgradeStage", Kind::PageControl, "Panel1", 30, 18, 489, 268},
    {"ProgressBar2", Kind::ProgressBar, "Panel1", 89, 320, 399, 25},
    {"ImageStartTitle", Kind::Image, "TabSheetStart", 0, 5, 32, 32},
    {"StaticTextStartTitle", Kind::StaticText, "TabSheetStart", 40, 1, 414, 49},
    {"ShapeStartDescription1", Kind::Shape, "TabSheetStart", 9, 61, 9, 9},
    {"StaticTextStartDescription1", Kind::StaticText, "TabSheetStart", 30, 56, 420, 22},
    {"ShapeStartDescription2", Kind::Shape, "TabSheetStart", 9, 84, 9, 9},
    {"StaticTextStartDescription2", Kind::StaticText, "TabSheetStart", 30, 80, 420, 22},
    {"BevelStart", Kind::Bevel, "TabSheetStart", 159, 189, 145, 66},
    {"SpeedButtonStart", Kind::Button, "TabSheetStart", 159, 189, 145, 66},
    {"BevelExit1", Kind::Bevel, "TabSheetStart", 400, 232, 79, 26},
    {"SpeedButtonExit1", Kind::Button, "TabSheetStart", 400, 232, 79, 26},
    {"ImageFrmVer", Kind::Image, "TabSheetFirmwareVersion", 0, -2, 32, 32},
    {"LabelFrmVerTitle", Kind::Label, "TabSheetFirmwareVersion", 40, 1, 243, 24},
    {"ShapeFrmVerOriginal", Kind::Shape, "TabSheetFirmwareVersion", 18, 48, 15, 4},
    {"LabelFrmVerOriginal", Kind::Label, "TabSheetFirmwareVersion", 43, 40, 206, 18},
    {"LabelFrmVerOriginal1", Kind::Label, "TabSheetFirmwareVersion", 252, 40, 181, 18},
    {"ShapeFrmVerNew", Kind::Shape, "TabSheetFirmwareVersion", 18, 72, 15, 4},
    {"LabelFrmVerNew", Kind::Label, "TabSheetFirmwareVersion", 43, 64, 206, 18},
    {"LabelFrmVerNew1", Kind::Label, "TabSheetFirmwareVersion", 252, 64, 158, 18},
    {"LabelFrmVerOriginal2", Kind::Label, "TabSheetFirmwareVersion", 94, 103, 130, 16},
    {"LabelFrmVerOriginal3", Kind::Label, "TabSheetFirmwareVersion", 81, 122, 160, 16},
    {"ImageFrmVerOriginal", Kind::Image, "TabSheetFirmwareVersion", 134, 144, 48, 48},
    {"ImageFrmVerTo", Kind::Image, "TabSheetFirmwareVersion", 224, 144, 48, 48},
    {"LabelFrmVerNew2", Kind::Label, "TabSheetFirmwareVersion", 270, 103, 130, 16},
    {"LabelFrmVerNew3", Kind::Label, "TabSheetFirmwareVersion", 258, 122, 160, 16},
    {"ImageFrmVerNew", Kind::Image, "TabSheetFirmwareVersion", 310, 144, 48, 48},
    {"LabelFrmVerWantToContinue", Kind::Label, "TabSheetFirmwareVersion", 72, 220, 257, 24},
    {"SpeedButtonFrmVerWantToContinueYes", Kind::Button, "TabSheetFirmwareVersion", 336, 216, 49, 30},
    {"SpeedButtonFrmVerWantToContinueNo", Kind::Button, "TabSheetFirmwareVersion", 392, 216, 49, 30},
    {"ImageFrmUpg", Kind::Image, "TabSheetFirmwareUpgrade", 0, -2, 32, 32},
    {"LabelFrmUpgTitle", Kind::Label, "TabSheetFirmwareUpgrade", 40, 1, 183, 24},
    {"StaticTextFrmUpgMessage1", Kind::StaticText, "TabSheetFirmwareUpgrade", 32, 120, 425, 25},
    {"StaticTextFrmUpgMessage2", Kind::StaticText, "TabSheetFirmwareUpgrade", 32, 144, 425, 25},
    {"BevelFrmUpgFinish", Kind::Bevel, "TabSheetFirmwareUpgrade", 168, 219, 100, 39},
    {"SpeedButtonFrmUpgFinish", Kind::Button, "TabSheetFirmwareUpgrade", 168, 219, 100, 39},
};

TEST(AppLayout, EveryComponentHasItsPlaceSizeAndParent) {
    app::Layout layout;
    for (const auto& row : kPlaces) {
        SCOPED_TRACE(row.name);
        const ui::Component* c = layout.find(row.name);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->kind, row.kind);
        ASSERT_NE(c->parent, nullptr);
        EXPECT_EQ(c->parent->name, row.parent);
        EXPECT_EQ(c->left, row.left);
        EXPECT_EQ(c->top, row.top);
        EXPECT_EQ(c->width, row.width);
        EXPECT_EQ(c->height, row.height);
    }
}

TEST(AppLayout, HoldsExactlyTheDesignedComponents) {
    app::Layout layout;
    std::set<std::string> expected{"FormMain", "TabSheetStart", "TabSheetFirmwareVersion",
                                   "TabSheetFirmwareUpgrade", "TimerBlinkingText",
                                   "TimerCopyFileProgressCTL", "TimerVersionWatch", "TimerImageCheck", "ImageList1"};
    for (const auto& row : kPlaces) expected.insert(row.name);
    std::set<std::string> actual;
    for (const auto& c : layout.all()) EXPECT_TRUE(actual.insert(c->name).second) << "twice: " << c->name;
    EXPECT_EQ(actual, expected);
}

TEST(AppLayout, WindowAndPanels) {
    app::Layout layout;
    const ui::Component& form = layout.root();
    EXPECT_EQ(form.name, "FormMain");
    EXPECT_EQ(form.width, 554);
    EXPECT_EQ(form.height, 420);
    EXPECT_EQ(form.caption(), "ZEMO ZOD Ezodi R Iravevod Idavedi");
    EXPECT_EQ(form.colour, win(0xA6CAF0));
    EXPECT_EQ(form.font().size, 13);
    EXPECT_FALSE(form.font().bold);
    EXPECT_FALSE(form.font().italic);
    EXPECT_EQ(form.font().colour, kWindowText);

    struct {
        const char* name;
        Colour colour;
    } panels[] = {{"PanelTitle", 16743805u}, {"Panel1", 14939645u}};
    for (const auto& p : panels) {
        SCOPED_TRACE(p.name);
        const ui::Component& c = layout.get(p.name);
        EXPECT_EQ(c.colour, p.colour);
        EXPECT_FALSE(c.bevelOuter);
        EXPECT_EQ(c.font().size, 13);
    }
    // The two panels cover the client area without a gap.
    EXPECT_EQ(layout.get("PanelTitle").height + layout.get("Panel1").height, form.height);
}

TEST(AppLayout, ChildrenStackInDesignOrder) {
    app::Layout layout;
    auto names = [&](const char* parent) {
        std::vector<std::string> out;
        for (const ui::Component* c : layout.get(parent).children) out.push_back(c->name);
        return out;
    };
    EXPECT_EQ(names("Panel1"), (std::vector<std::string>{"Image2", "Shape1", "lblUpgradeStatus", "Bevel1",
                                                           "LabelProgressPersent",
                                                           "PageControlFirmwareUpgradeStage", "ProgressBar2"}));
    EXPECT_EQ(names("PageControlFirmwareUpgradeStage"),
              (std::vector<std::string>{"TabSheetStart", "TabSheetFirmwareVersion", "TabSheetFirmwareUpgrade"}));
    EXPECT_EQ(names("FormMain"), (std::vector<std::string>{"PanelTitle", "Panel1", "TimerBlinkingText",
                                                            "TimerCopyFileProgressCTL", "TimerVersionWatch",
                                                            "TimerImageCheck", "ImageList1"}));
}

struct TextRow {
    const char* name;
    const char* caption;
    int size;
    bool bold, italic;
    Colour colour;
    Align align;
};

const char* const kTitleText = "Welcome to ZEMO ZOD Ezodi R Iravevod Idavedi";
const char* const kStartTitleText =
    "Please check below items before starting ZEMO ZOD Ezodi R Iravevod Idavedi:";

const TextRow kTexts[] = {
    {"StaticTextTitle", kTitleText, 19, true, true, ui::kColour3DLight, Align::Centre},
    {"LabelVersion", "Ver 1.8.2 Build:2016.04.26", 11, false, false, kNavy, Align::Left},
    {"lblUpgradeStatus", "Upgrading ...", 13, true, false, kWindowText, Align::Centre},
    {"LabelProgressPersent", "0%", 13, true, false, kWindowText, Align::Left},
    {"StaticTextStartTitle", kStartTitleText, 19, true, false, kWindowText, Align::Left},
    {"StaticTextStartDescription1", "Please connect AIS Class B device to PC by USB.", 16, false, false, kWindowText,
     Align::Left},
    {"StaticTextStartDescription2", "Please power on the AIS Class B device.", 16, false, false, kWindowText,
     Align::Left},
    {"SpeedButtonStart", "Start", 27, true, true, kWindowText, Align::Left},
    {"SpeedButtonExit1", "Exit", 16, true, false, kWindowText, Align::Left},
    {"LabelFrmVerTitle", "Firmware Version Check", 21, true, false, kWindowText, Align::Left},
    {"LabelFrmVerOriginal", "Original Firmware Version", 16, true, true, kWindowText, Align::Left},
    {"LabelFrmVerOriginal1", "Original Firmware Version", 16, false, false, kBlue, Align::Left},
    {"LabelFrmVerNew", "New Firmware Version", 16, true, true, kWindowText, Align::Left},
    {"LabelFrmVerNew1", "New Firmware Version", 16, false, false, kBlue, Align::Left},
    {"LabelFrmVerOriginal2", "Original :", 15, true, false, kNavy, Align::Centre},
    {"LabelFrmVerOriginal3", "Version", 13, false, false, kGreen, Align::Centre},
    {"LabelFrmVerNew2", "New :", 15, true, false, kNavy, Align::Centre},
    {"LabelFrmVerNew3", "Version", 13, false, false, kGreen, Align::Centre},
    {"LabelFrmVerWantToContinue", "Do you want to continue?", 21, true, false, kMaroon, Align::Left},
    {"SpeedButtonFrmVerWantToContinueYes", "Yes", 13, true, false, kWindowText, Align::Left},
    {"SpeedButtonFrmVerWantToContinueNo", "No", 13, true, false, kWindowText, Align::Left},
    {"LabelFrmUpgTitle", "Firmware Upgrade", 21, true, false, kWindowText, Align::Left},
    {"StaticTextFrmUpgMessage1", "Do not turn off or disconnect the device !", 21, true, false, kRed, Align::Centre},
    {"StaticTextFrmUpgMessage2", "Please restart your AIS device.", 21, true, false, kWindowText, Align::Centre},
    {"SpeedButtonFrmUpgFinish", "Finish", 16, true, false, kWindowText, Align::Left},
};

TEST(AppLayout, DesignTimeTextsAndFonts) {
    app::Layout layout;
    for (const auto& row : kTexts) {
        SCOPED_TRACE(row.name);
        const ui::Component& c = layout.get(row.name);
        EXPECT_EQ(c.caption(), row.caption);
        EXPECT_EQ(c.font().size, row.size);
        EXPECT_EQ(c.font().bold, row.bold);
        EXPECT_EQ(c.font().italic, row.italic);
        EXPECT_EQ(c.font().colour, row.colour);
        EXPECT_EQ(c.alignment, row.align);
    }
    const ui::Component& web = layout.get("LabelZEMOWeb");
    EXPECT_FALSE(web.caption().empty());
    EXPECT_EQ(web.font().size, 13);
    EXPECT_EQ(web.font().colour, kNavy);
    EXPECT_EQ(layout.get("TabSheetFirmwareUpgrade").font().size, 13);
    EXPECT_EQ(layout.get("StaticTextTitle").colour, 16743805u);
}

TEST(AppLayout, OnlyTheDesignedLabelsSizeThemselves) {
    app::Layout layout;
    const std::set<std::string> autoSized{"LabelVersion", "LabelZEMOWeb", "LabelFrmVerTitle", "LabelFrmVerOriginal1",
                                          "LabelFrmVerNew1", "LabelFrmVerWantToContinue", "LabelFrmUpgTitle"};
    for (const auto& c : layout.all()) {
        if (c->kind != Kind::Label && c->kind != Kind::StaticText) continue;
        EXPECT_EQ(c->autoSize, autoSized.count(c->name) == 1) << c->name;
        EXPECT_EQ(c->wordWrap, c->name == "StaticTextStartTitle") << c->name;
    }
}

TEST(AppLayout, ImagesAndTheirPictures) {
    app::Layout layout;
    struct {
        const char* name;
        ui::Picture picture;
        bool transparent;
    } rows[] = {
        {"ImageLogo", ui::Picture::None, true},  // the logo is put in at start-up
        {"Image2", ui::Picture::Background, false},
        {"ImageStartTitle", ui::Picture::InfoIcon, true},
        {"ImageFrmVer", ui::Picture::Star, true},
        {"ImageFrmVerOriginal", ui::Picture::Document, true},
        {"ImageFrmVerTo", ui::Picture::BlueArrow, true},
        {"ImageFrmVerNew", ui::Picture::Document, true},
        {"ImageFrmUpg", ui::Picture::Star, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const ui::Component& c = layout.get(r.name);
        EXPECT_EQ(c.picture(), r.picture);
        EXPECT_EQ(c.transparent, r.transparent);
        EXPECT_EQ(c.stretch, std::string(r.name) == "ImageLogo");
    }
    const ui::Component& list = layout.get("ImageList1");
    EXPECT_EQ(list.kind, Kind::ImageList);
    EXPECT_EQ(list.width, 145);
    EXPECT_EQ(list.height, 49);
}

TEST(AppLayout, ShapesAndBevels) {
    app::Layout layout;
    struct {
        const char* name;
        ui::ShapeKind shape;
        Colour brush;
    } shapes[] = {
        {"Shape1", ui::ShapeKind::RoundRect, 14939645u},
        {"ShapeStartDescription1", ui::ShapeKind::Circle, kNavy},
        {"ShapeStartDescription2", ui::ShapeKind::Circle, kNavy},
        {"ShapeFrmVerOriginal", ui::ShapeKind::Rectangle, kNavy},
        {"ShapeFrmVerNew", ui::ShapeKind::Rectangle, kNavy},
    };
    for (const auto& s : shapes) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(layout.get(s.name).shape, s.shape);
        EXPECT_EQ(layout.get(s.name).colour, s.brush);
    }
    EXPECT_EQ(layout.get("Bevel1").bevel, ui::BevelKind::BottomLine);
    for (const char* name : {"BevelStart", "BevelExit1", "BevelFrmUpgFinish"})
        EXPECT_EQ(layout.get(name).bevel, ui::BevelKind::RaisedBox) << name;
}

TEST(AppLayout, SpeedButtons) {
    app::Layout layout;
    struct {
        const char* name;
        bool flat;
        ui::Picture glyph;
        bool enabled;
    } rows[] = {
        {"SpeedButtonStart", true, ui::Picture::PointingHand, true},
        {"SpeedButtonExit1", true, ui::Picture::ExitDoor, true},
        {"SpeedButtonFrmUpgFinish", true, ui::Picture::GreenCheck, false},
        {"SpeedButtonFrmVerWantToContinueYes", false, ui::Picture::None, true},
        {"SpeedButtonFrmVerWantToContinueNo", false, ui::Picture::None, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const ui::Component& c = layout.get(r.name);
        EXPECT_EQ(c.flat, r.flat);
        EXPECT_EQ(c.handCursor, r.flat);  // the flat buttons show the hand cursor
        EXPECT_EQ(c.glyph, r.glyph);
        EXPECT_EQ(c.enabled(), r.enabled);
    }
}

TEST(AppLayout, EveryFlatButtonLiesOnARaisedBevelOfItsPlaceBelowIt) {
    app::Layout layout;
    int flatButtons = 0;
    for (const auto& b : layout.all()) {
        if (b->kind != Kind::Button || !b->flat) continue;
        ++flatButtons;
        SCOPED_TRACE(b->name);
        const auto& siblings = b->parent->children;
        bool found = false;
        for (const ui::Component* s : siblings) {
            if (s == b.get()) break;  // only what is stacked below the button
            if (s->kind == Kind::Bevel && s->bevel == ui::BevelKind::RaisedBox && s->left == b->left &&
                s->top == b->top && s->width == b->width && s->height == b->height)
                found = true;
        }
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(flatButtons, 3);
}

TEST(AppLayout, OnlyStartShowsATooltip) {
    app::Layout layout;
    for (const auto& c : layout.all()) {
        const bool isStart = c->name == "SpeedButtonStart";
        EXPECT_EQ(c->showHint, isStart) << c->name;
        if (!isStart) {
            EXPECT_TRUE(c->hint.empty()) << c->name;
        }
    }
    EXPECT_EQ(layout.get("SpeedButtonStart").hint, "Start the Firmware Upgrade");
}

TEST(AppLayout, OnlyFinishAndTheTimersStartDisabled) {
    app::Layout layout;
    const std::set<std::string> disabled{"SpeedButtonFrmUpgFinish", "TimerBlinkingText", "TimerCopyFileProgressCTL",
                                         "TimerVersionWatch", "TimerImageCheck"};
    for (const auto& c : layout.all()) EXPECT_EQ(c->enabled(), disabled.count(c->name) == 0) << c->name;

    struct {
        const char* name;
        int interval;
    } timers[] = {{"TimerBlinkingText", 100}, {"TimerCopyFileProgressCTL", 1000}, {"TimerVersionWatch", 2000},
                  {"TimerImageCheck", 100}};
    for (const auto& t : timers) {
        EXPECT_EQ(layout.get(t.name).kind, Kind::Timer) << t.name;
        EXPECT_EQ(layout.get(t.name).interval, t.interval) << t.name;
    }
    const ui::Component& bar = layout.get("ProgressBar2");
    EXPECT_EQ(bar.min(), 0);
    EXPECT_EQ(bar.max(), 100);
    EXPECT_EQ(bar.position(), 0);
}

}  // namespace
