#include "app/layout.h"

namespace app {

namespace {

// Small fluent helpers so that each row of the layout reads as one line.
struct Row {
    Component& c;
    Row& at(int l, int t, int w, int h) { c.left = l; c.top = t; c.width = w; c.height = h; return *this; }
    Row& text(const char* s) { c.setCaption(s); return *this; }
    Row& font(int size, bool bold = false, bool italic = false, Colour colour = kColourWindowText) {
        c.setFontDesign(Font{size, bold, italic, colour});
        return *this;
    }
    Row& colour(Colour v) { c.colour = v; return *this; }
    Row& centred() { c.alignment = Align::Centre; return *this; }
    Row& autosized() { c.autoSize = true; return *this; }
    Row& wraps() { c.wordWrap = true; return *this; }
    Row& transparent() { c.transparent = true; return *this; }
    Row& picture(Picture p) { c.setPicture(p); return *this; }
    Row& glyph(Picture p) { c.glyph = p; return *this; }
    Row& flat() { c.flat = true; c.handCursor = true; return *this; }
    Row& link() { c.link = true; return *this; }
    Row& hint(const char* s) { c.hint = s; c.showHint = true; return *this; }
    Row& shape(ShapeKind k, Colour brush) { c.shape = k; c.colour = brush; return *this; }
    Row& bevel(BevelKind k) { c.bevel = k; return *this; }
    Row& disabled() { c.setEnabled(false); return *this; }
    Row& every(int ms) { c.interval = ms; return *this; }
};

constexpr Colour kTitleColour = 0xFF7D7D;   // #7D7DFF
constexpr Colour kPanelColour = 14939645;   // #FDF5E3

}  // namespace

Layout::Layout() {
    auto row = [this](Kind k, const char* n, const char* p) { return Row{add(k, n, p)}; };

    row(Kind::Form, "FormMain", nullptr).at(0, 0, kClientWidth, kClientHeight)
        .text(kWindowCaption).font(13).colour(kSkyBlue);

    // Title panel.
    row(Kind::Panel, "PanelTitle", "FormMain").at(0, 0, 554, 50).colour(kTitleColour).font(13);
    row(Kind::Image, "ImageLogo", "PanelTitle").at(5, 5, 117, 41).transparent();
    get("ImageLogo").stretch = true;
    row(Kind::StaticText, "StaticTextTitle", "PanelTitle").at(125, 0, 288, 49)
        .text("Welcome to ZEMO ZOD Ezodi R Iravevod Idavedi").font(19, true, true, kColour3DLight)
        .centred().colour(kTitleColour);
    row(Kind::Label, "LabelVersion", "PanelTitle").at(419, 0, 127, 14).autosized()
        .text(kProgramVersionText).font(11, false, false, kNavy);
    row(Kind::Label, "LabelZEMOWeb", "PanelTitle").at(415, 33, 129, 16).autosized()
        .text(kMakerWebAddress).font(13, false, false, kNavy).link();

    // Main panel, stacked from the bottom.
    row(Kind::Panel, "Panel1", "FormMain").at(0, 50, 554, 370).colour(kPanelColour).font(13);
    row(Kind::Image, "Image2", "Panel1").at(0, 0, 554, 370).picture(Picture::Background);
    row(Kind::Shape, "Shape1", "Panel1").at(10, 11, 531, 358).shape(ShapeKind::RoundRect, kPanelColour);
    row(Kind::Label, "lblUpgradeStatus", "Panel1").at(87, 301, 377, 16).text("Upgrading ...")
        .font(13, true).centred().transparent();
    row(Kind::Bevel, "Bevel1", "Panel1").at(24, 291, 503, 6).bevel(BevelKind::BottomLine);
    row(Kind::Label, "LabelProgressPersent", "Panel1").at(495, 323, 37, 16).text("0%").font(13, true).transparent();
    row(Kind::PageControl, "PageControlFirmwareUpgradeStage", "Panel1").at(30, 18, 489, 268);
    row(Kind::ProgressBar, "ProgressBar2", "Panel1").at(89, 320, 399, 25);

    // Start page.
    row(Kind::TabSheet, "TabSheetStart", "PageControlFirmwareUpgradeStage").at(0, 0, 489, 268).text("Start");
    row(Kind::Image, "ImageStartTitle", "TabSheetStart").at(0, 5, 32, 32).picture(Picture::InfoIcon).transparent();
    row(Kind::StaticText, "StaticTextStartTitle", "TabSheetStart").at(40, 1, 414, 49)
        .text("Please check below items before starting ZEMO ZOD Ezodi R Iravevod Idavedi:").font(19, true).wraps();
    row(Kind::Shape, "ShapeStartDescription1", "TabSheetStart").at(9, 61, 9, 9).shape(ShapeKind::Circle, kNavy);
    row(Kind::StaticText, "StaticTextStartDescription1", "TabSheetStart").at(30, 56, 420, 22)
        .text("Please connect AIS Class B device to PC by USB.").font(16);
    row(Kind::Shape, "ShapeStartDescription2", "TabSheetStart").at(9, 84, 9, 9).shape(ShapeKind::Circle, kNavy);
    row(Kind::StaticText, "StaticTextStartDescription2", "TabSheetStart").at(30, 80, 420, 22)
        .text("Please power on the AIS Class B device.").font(16);
    row(Kind::Bevel, "BevelStart", "TabSheetStart").at(159, 189, 145, 66);
    row(Kind::Button, "SpeedButtonStart", "TabSheetStart").at(159, 189, 145, 66).text("Start")
        .font(27, true, true).flat().glyph(Picture::PointingHand).hint("Start the Firmware Upgrade");
    row(Kind::Bevel, "BevelExit1", "TabSheetStart").at(400, 232, 79, 26);
    row(Kind::Button, "SpeedButtonExit1", "TabSheetStart").at(400, 232, 79, 26).text("Exit")
        .font(16, true).flat().glyph(Picture::ExitDoor);

    // Version page.
    row(Kind::TabSheet, "TabSheetFirmwareVersion", "PageControlFirmwareUpgradeStage").at(0, 0, 489, 268)
        .text("Firmware Version");
    row(Kind::Image, "ImageFrmVer", "TabSheetFirmwareVersion").at(0, -2, 32, 32).picture(Picture::Star).transparent();
    row(Kind::Label, "LabelFrmVerTitle", "TabSheetFirmwareVersion").at(40, 1, 243, 24).autosized()
        .text("Firmware Version Check").font(21, true);
    row(Kind::Shape, "ShapeFrmVerOriginal", "TabSheetFirmwareVersion").at(18, 48, 15, 4).shape(ShapeKind::Rectangle, kNavy);
    row(Kind::Label, "LabelFrmVerOriginal", "TabSheetFirmwareVersion").at(43, 40, 206, 18)
        .text("Original Firmware Version").font(16, true, true);
    row(Kind::Label, "LabelFrmVerOriginal1", "TabSheetFirmwareVersion").at(252, 40, 181, 18).autosized()
        .text("Original Firmware Version").font(16, false, false, kBlue);
    row(Kind::Shape, "ShapeFrmVerNew", "TabSheetFirmwareVersion").at(18, 72, 15, 4).shape(ShapeKind::Rectangle, kNavy);
    row(Kind::Label, "LabelFrmVerNew", "TabSheetFirmwareVersion").at(43, 64, 206, 18)
        .text("New Firmware Version").font(16, true, true);
    row(Kind::Label, "LabelFrmVerNew1", "TabSheetFirmwareVersion").at(252, 64, 158, 18).autosized()
        .text("New Firmware Version").font(16, false, false, kBlue);
    row(Kind::Label, "LabelFrmVerOriginal2", "TabSheetFirmwareVersion").at(94, 103, 130, 16)
        .text("Original :").font(15, true, false, kNavy).centred();
    row(Kind::Label, "LabelFrmVerOriginal3", "TabSheetFirmwareVersion").at(81, 122, 160, 16)
        .text("Version").font(13, false, false, kGreen).centred();
    row(Kind::Image, "ImageFrmVerOriginal", "TabSheetFirmwareVersion").at(134, 144, 48, 48)
        .picture(Picture::Document).transparent();
    row(Kind::Image, "ImageFrmVerTo", "TabSheetFirmwareVersion").at(224, 144, 48, 48)
        .picture(Picture::BlueArrow).transparent();
    row(Kind::Label, "LabelFrmVerNew2", "TabSheetFirmwareVersion").at(270, 103, 130, 16)
        .text("New :").font(15, true, false, kNavy).centred();
    row(Kind::Label, "LabelFrmVerNew3", "TabSheetFirmwareVersion").at(258, 122, 160, 16)
        .text("Version").font(13, false, false, kGreen).centred();
    row(Kind::Image, "ImageFrmVerNew", "TabSheetFirmwareVersion").at(310, 144, 48, 48)
        .picture(Picture::Document).transparent();
    row(Kind::Label, "LabelFrmVerWantToContinue", "TabSheetFirmwareVersion").at(72, 220, 257, 24).autosized()
        .text("Do you want to continue?").font(21, true, false, kMaroon);
    row(Kind::Button, "SpeedButtonFrmVerWantToContinueYes", "TabSheetFirmwareVersion").at(336, 216, 49, 30)
        .text("Yes").font(13, true);
    row(Kind::Button, "SpeedButtonFrmVerWantToContinueNo", "TabSheetFirmwareVersion").at(392, 216, 49, 30)
        .text("No").font(13, true);

    // Upgrade page.
    row(Kind::TabSheet, "TabSheetFirmwareUpgrade", "PageControlFirmwareUpgradeStage").at(0, 0, 489, 268)
        .text("Firmware Upgrade").font(13);
    row(Kind::Image, "ImageFrmUpg", "TabSheetFirmwareUpgrade").at(0, -2, 32, 32).picture(Picture::Star).transparent();
    row(Kind::Label, "LabelFrmUpgTitle", "TabSheetFirmwareUpgrade").at(40, 1, 183, 24).autosized()
        .text("Firmware Upgrade").font(21, true);
    row(Kind::StaticText, "StaticTextFrmUpgMessage1", "TabSheetFirmwareUpgrade").at(32, 120, 425, 25)
        .text("Do not turn off or disconnect the device !").font(21, true, false, kRed).centred();
    row(Kind::StaticText, "StaticTextFrmUpgMessage2", "TabSheetFirmwareUpgrade").at(32, 144, 425, 25)
        .text("Please restart your AIS device.").font(21, true).centred();
    row(Kind::Bevel, "BevelFrmUpgFinish", "TabSheetFirmwareUpgrade").at(168, 219, 100, 39);
    row(Kind::Button, "SpeedButtonFrmUpgFinish", "TabSheetFirmwareUpgrade").at(168, 219, 100, 39)
        .text("Finish").font(16, true).flat().glyph(Picture::GreenCheck).disabled();

    // Non-visual components.
    row(Kind::Timer, "TimerBlinkingText", "FormMain").every(100);
    row(Kind::Timer, "TimerCopyFileProgressCTL", "FormMain").every(1000);
    row(Kind::Timer, "TimerVersionWatch", "FormMain").every(2000);
    row(Kind::Timer, "TimerImageCheck", "FormMain").every(100);
    row(Kind::ImageList, "ImageList1", "FormMain").at(0, 0, 145, 49);

    get("PageControlFirmwareUpgradeStage").setActivePage(&get("TabSheetStart"));

    // The keyboard: each page's default button (the first of them that is
    // enabled) takes the focus when the page comes up, and Esc presses its
    // cancel button; on the upgrade page Esc asks to close the window.
    pages = &get("PageControlFirmwareUpgradeStage");
    get("TabSheetStart").defaultButtons = {&get("SpeedButtonStart"), &get("SpeedButtonExit1")};
    get("TabSheetStart").cancelButton = &get("SpeedButtonExit1");
    get("TabSheetFirmwareVersion").defaultButtons = {&get("SpeedButtonFrmVerWantToContinueYes")};
    get("TabSheetFirmwareVersion").cancelButton = &get("SpeedButtonFrmVerWantToContinueNo");
    get("TabSheetFirmwareUpgrade").defaultButtons = {&get("SpeedButtonFrmUpgFinish")};
    // Screen readers read the title panel's texts, the shown page, then the
    // status line, the progress and the web link, which every page has.
    sharedBefore = {&get("StaticTextTitle"), &get("LabelVersion")};
    sharedAfter = {&get("lblUpgradeStatus"), &get("ProgressBar2"), &get("LabelZEMOWeb")};

    // What a screen reader reads with each page's main action: the page's
    // checklist, the two versions and the question, the end of the upgrade.
    describe("SpeedButtonStart", {{"StaticTextStartTitle", " "}, {"StaticTextStartDescription1", " "},
                                  {"StaticTextStartDescription2", ""}});
    describe("SpeedButtonFrmVerWantToContinueYes",
             {{"LabelFrmVerOriginal", ": "}, {"LabelFrmVerOriginal1", ". "}, {"LabelFrmVerNew", ": "},
              {"LabelFrmVerNew1", ". "}, {"LabelFrmVerWantToContinue", ""}});
    describe("SpeedButtonFrmUpgFinish", {{"lblUpgradeStatus", " "}, {"StaticTextFrmUpgMessage2", ""}});
    get("lblUpgradeStatus").alertCaptions = {kFinishedStatus};
    // What the transponder runs after its restart: read as an alert, and
    // fitted to its line however long the version.
    get("StaticTextFrmUpgMessage1").alertCaptions = {kStillVersionText, kBootModeAgainText};
    get("StaticTextFrmUpgMessage2").alertCaptions = {kRunningVersionText, kSilentText, "COM"};
    get("StaticTextFrmUpgMessage1").shrinkToFit = true;
    get("StaticTextFrmUpgMessage2").shrinkToFit = true;
    windowClass = kMainWindowClass;
    ownerClass = kOwnerWindowClass;
    applicationTitle = kApplicationTitle;
}

void Layout::describe(const char* control, std::initializer_list<std::pair<const char*, const char*>> parts) {
    for (const auto& [text, then] : parts) get(control).describedBy.push_back({&get(text), then});
}

}  // namespace app
