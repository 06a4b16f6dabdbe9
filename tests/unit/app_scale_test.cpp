// The window at any display scaling: the layout's places scaled edge by
// edge, lengths rounded, and the window's outer size around its client
// area from the frame the system draws.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ui/scale.h"
#include "app/layout.h"

namespace {

using ui::Kind;

// At any DPI the window is the design scaled: the client area is
// round(554 s) by round(420 s), every size is within a pixel of its scaled
// design size, and every edge keeps its order against every other edge, so
// what touches at 96 DPI touches (no gap), what is apart stays apart (no
// overlap) and what lies inside its parent stays inside. At 96 DPI nothing
// moves.
TEST(AppLayout, ScaledPlacesKeepTheDesign) {
    app::Layout layout;
    std::vector<const ui::Component*> placed;
    for (const auto& c : layout.all())
        if (c->width > 0 && c->kind != Kind::Form && c->kind != Kind::ImageList) placed.push_back(c.get());
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const int dpi : {96, 120, 144, 168, 192, 240, 288}) {
        SCOPED_TRACE(dpi);
        const ui::Scale scale(dpi);
        const double s = dpi / 96.0;
        const ui::Box client = ui::ScaledBox(layout.root(), scale);
        EXPECT_EQ(client.width(), static_cast<int>(554 * s + 0.5));
        EXPECT_EQ(client.height(), static_cast<int>(420 * s + 0.5));
        for (const ui::Component* a : placed) {
            SCOPED_TRACE(a->name);
            const ui::Box da = ui::DesignBox(*a), sa = ui::ScaledBox(*a, scale);
            if (dpi == 96) {
                EXPECT_EQ(sa, da);
            }
            EXPECT_LE(std::abs(sa.width() - a->width * s), 1.0);
            EXPECT_LE(std::abs(sa.height() - a->height * s), 1.0);
            for (const ui::Component* b : placed) {
                const ui::Box db = ui::DesignBox(*b), sb = ui::ScaledBox(*b, scale);
                EXPECT_EQ(sign(sa.right - sb.left), sign(da.right - db.left)) << b->name;
                EXPECT_EQ(sign(sa.bottom - sb.top), sign(da.bottom - db.top)) << b->name;
                EXPECT_EQ(sign(sa.left - sb.left), sign(da.left - db.left)) << b->name;
                EXPECT_EQ(sign(sa.top - sb.top), sign(da.top - db.top)) << b->name;
            }
        }
    }
}

// The window's outer size comes from the frame the system really draws. At
// 144 DPI the client area is 831 by 630; at 96 DPI's it is 554 by 420. The
// frame of the fixed window is 6 by 29 pixels at 96 DPI and 8 by 42 at 144.
TEST(AppLayout, OuterSizeFollowsTheFrameTheSystemDraws) {
    struct Row {
        const char* name;
        ui::Extent wanted, outer, client, fitted;
    } rows[] = {
        {"frame scales with the window (PerMonitorV2): as computed", {831, 630}, {839, 672}, {831, 630}, {839, 672}},
        {"1607, frame at the system's 96 DPI, window at 144", {831, 630}, {839, 672}, {833, 643}, {837, 659}},
        {"1607, frame at the system's 144 DPI, window at 96", {554, 420}, {560, 449}, {552, 407}, {562, 462}},
        {"unscaled frame at 96 DPI", {554, 420}, {560, 449}, {554, 420}, {560, 449}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const ui::Extent fitted = ui::OuterFor(r.wanted, r.outer, r.client);
        EXPECT_EQ(fitted.width, r.fitted.width);
        EXPECT_EQ(fitted.height, r.fitted.height);
    }
}

TEST(AppLayout, ScaledLengthsRoundHalvesUpAndLinesStayVisible) {
    struct Row {
        int dpi, design, px, line;
    } rows[] = {{96, 7, 7, 7},   {120, 2, 3, 3},   {120, 1, 1, 1},  {144, 1, 2, 2},  {144, -2, -3, 0},
                {144, 3, 5, 5},  {168, -1, -2, 0}, {72, 1, 1, 1},  {48, 1, 1, 1},   {48, 0, 0, 0},
                {0, 5, 5, 5},    {192, 13, 26, 26}};
    for (const Row& r : rows) {
        const ui::Scale scale(r.dpi);
        EXPECT_EQ(scale.px(r.design), r.px) << r.dpi << " " << r.design;
        EXPECT_EQ(scale.line(r.design), r.line) << r.dpi << " " << r.design;
    }
}

}  // namespace
