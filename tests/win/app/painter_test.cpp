// The painter on its own, in this process: what it paints in a given
// setting of the system, read back pixel by pixel.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/layout.h"
#include "base/unique_handle_win.h"
#include "ui/painter_win.h"

namespace {

// In high contrast the window paints with the system's colour pairs, which
// Wine takes from HKCU\Control Panel\Colors (app_window.sh sets a dark
// scheme of distinct colours there for this case).
TEST(MainWindowPainter, HighContrastPaintsWithTheSystemColours) {
    app::Layout layout;
    layout.get("SpeedButtonStart").setEnabled(false);
    layout.get("ProgressBar2").setPosition(50);
    ui::Painter painter;
    painter.setHighContrast(true);
    const win::ScreenDc screen(GetDC(nullptr));
    ui::MemoryDc dc(CreateCompatibleDC(screen.get()));
    ui::BitmapHandle surface(CreateCompatibleBitmap(screen.get(), 554, 420));
    ui::Selected selected(dc.get(), surface.get());
    painter.paint(dc.get(), layout, RECT{0, 0, 554, 420}, {});
    ASSERT_EQ(GetSysColor(COLOR_WINDOW), RGB(0, 0, 0)) << "the scheme of app_window.sh";
    // A part whose pixels are all that colour (`all`), or that holds it (a text).
    const struct {
        const char* what;
        RECT part;
        int colour;
        bool all;
    } rows[] = {
        {"panel, no background picture", {2, 52, 4, 54}, COLOR_WINDOW, true},
        {"title panel", {1, 1, 3, 3}, COLOR_WINDOW, true},
        {"bullet", {42, 132, 44, 134}, COLOR_WINDOWTEXT, true},
        {"Exit's face", {432, 302, 434, 304}, COLOR_BTNFACE, true},
        {"progress filled", {93, 374, 95, 376}, COLOR_HIGHLIGHT, true},
        {"progress trough", {480, 374, 482, 376}, COLOR_WINDOW, true},
        {"progress frame", {90, 371, 91, 372}, COLOR_WINDOWTEXT, true},
        {"checklist text", {60, 124, 480, 146}, COLOR_WINDOWTEXT, false},
        {"Exit's caption", {430, 300, 509, 326}, COLOR_BTNTEXT, false},
        {"disabled Start's caption", {189, 257, 334, 323}, COLOR_GRAYTEXT, false},
        {"web link", {415, 33, 544, 49}, COLOR_HOTLIGHT, false},
    };
    for (const auto& row : rows) {
        int same = 0;
        for (int y = row.part.top; y < row.part.bottom; ++y)
            for (int x = row.part.left; x < row.part.right; ++x) same += GetPixel(dc.get(), x, y) == GetSysColor(row.colour);
        const int pixels = (row.part.right - row.part.left) * (row.part.bottom - row.part.top);
        EXPECT_TRUE(row.all ? same == pixels : same > 0) << row.what << ": " << same << " of " << pixels;
    }
}

}  // namespace
