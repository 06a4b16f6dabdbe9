// The colour fade of the two upgrade messages.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/unit/app_fakes.h"

namespace {

using apptest::Rig;

struct Rgb {
    int r, g, b;
};

uint32_t windowsOrder(const Rgb& c) {
    return (static_cast<uint32_t>(c.b) << 16) | (static_cast<uint32_t>(c.g) << 8) | static_cast<uint32_t>(c.r);
}

// The colour after each call of the fade, from pure blue: six phases of 19
// calls; each phase moves two components by 25 on its even calls.
std::vector<uint32_t> expectedFade(int calls) {
    const Rgb phaseSteps[6] = {
        {+1, +1, 0},   // to pale #E1E1FF
        {-1, 0, -1},   // to green #00E11E
        {+1, 0, +1},   // to pale
        {0, -1, -1},   // to red #E1001E
        {0, +1, +1},   // to pale
        {-1, -1, 0},   // back to blue
    };
    Rgb c{0, 0, 255};
    std::vector<uint32_t> out;
    for (int k = 0; k < calls; ++k) {
        const Rgb& d = phaseSteps[(k / 19) % 6];
        const int callInPhase = k % 19 + 1;
        if (callInPhase % 2 == 0) {
            c.r += 25 * d.r;
            c.g += 25 * d.g;
            c.b += 25 * d.b;
        }
        out.push_back(windowsOrder(c));
    }
    return out;
}

// A window on the upgrade page with the fade running.
void toUpgradePage(Rig& rig) {
    rig.clickStart();
    rig.clickYes();
    ASSERT_EQ(rig.form().UpgradeStage, 2);
    ASSERT_TRUE(rig.get("TimerBlinkingText").enabled());
}

void bootModeDevice(Rig& r) { r.drives.addBootDrive('E', true); }
void serialDevice(Rig& r) { r.ports.addPort(3, apptest::versionReply("2.00")); }

uint32_t messageColour(Rig& rig) { return rig.get("StaticTextFrmUpgMessage1").font().colour; }

TEST(AppBlink, ModelPassesTheNamedColours) {
    const auto fade = expectedFade(114);
    struct {
        int afterCall;
        unsigned rgb;
    } landmarks[] = {{19, 0xE1E1FF}, {38, 0x00E11E}, {57, 0xE1E1FF}, {76, 0xE1001E}, {95, 0xE1E1FF}, {114, 0x0000FF}};
    for (const auto& l : landmarks)
        EXPECT_EQ(fade[l.afterCall - 1], windowsOrder({int(l.rgb >> 16), int((l.rgb >> 8) & 0xFF), int(l.rgb & 0xFF)}))
            << l.afterCall;
}

TEST(AppBlink, TwoFullCyclesFollowThePhases) {
    Rig rig(Rig::Options{}, bootModeDevice);
    toUpgradePage(rig);
    EXPECT_EQ(app::Upgrade.BlinkColour, 16711680u);
    const auto fade = expectedFade(228);
    for (int k = 0; k < 228; ++k) {
        rig.blink();
        const uint32_t colour = messageColour(rig);
        ASSERT_EQ(colour, fade[k]) << "call " << k + 1;
        ASSERT_EQ(rig.get("StaticTextFrmUpgMessage2").font().colour, colour) << "call " << k + 1;
        ASSERT_EQ(colour >> 24, 0u) << "call " << k + 1;
    }
}

TEST(AppBlink, MessagesShowOnlyOnTheUpgradePage) {
    Rig rig(Rig::Options{}, bootModeDevice);
    const uint32_t colourBefore = messageColour(rig);
    // Start page and version page: a tick changes nothing.
    rig.blink(4);
    rig.clickStart();
    rig.blink(4);
    EXPECT_EQ(rig.get("StaticTextFrmUpgMessage1").caption(), "");
    EXPECT_EQ(rig.get("StaticTextFrmUpgMessage2").caption(), "");
    EXPECT_EQ(messageColour(rig), colourBefore);
    EXPECT_EQ(app::Upgrade.BlinkTick, 0);

    rig.clickYes();
    rig.blink();
    EXPECT_EQ(rig.get("StaticTextFrmUpgMessage1").caption(), "Upgrade in process!");
    EXPECT_EQ(rig.get("StaticTextFrmUpgMessage2").caption(), "Please wait a moment.");
    EXPECT_EQ(messageColour(rig), 16711680u);
}

TEST(AppBlink, PausedFadeContinuesWhereItStopped) {
    struct {
        const char* name;
        int before;  // calls before the pause
    } rows[] = {{"mid_phase", 25}, {"end_of_phase", 19}, {"end_of_cycle", 114}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig(Rig::Options{}, serialDevice);
        toUpgradePage(rig);
        rig.blink(row.before);
        const uint32_t stoppedAt = messageColour(rig);

        rig.tick(11);  // the boot drive never comes: back to the start page
        EXPECT_FALSE(rig.get("TimerBlinkingText").enabled());
        EXPECT_EQ(rig.get("StaticTextFrmUpgMessage1").caption(), "");
        EXPECT_EQ(messageColour(rig), stoppedAt);  // colours are left alone

        toUpgradePage(rig);
        const auto fade = expectedFade(row.before + 40);
        for (int k = row.before; k < row.before + 40; ++k) {
            rig.blink();
            ASSERT_EQ(messageColour(rig), fade[k]) << "call " << k + 1;
        }
    }
}

TEST(AppBlink, CompletionStopsTheFadeInWindowText) {
    Rig rig(Rig::Options{}, bootModeDevice);
    toUpgradePage(rig);
    rig.blink(7);
    rig.tick(2);
    bootdrive::CopyProgressPercent.store(100);
    rig.tick();
    EXPECT_FALSE(rig.get("TimerBlinkingText").enabled());
    EXPECT_EQ(rig.get("StaticTextFrmUpgMessage2").font().colour, ui::kColourWindowText);
    EXPECT_EQ(rig.get("StaticTextFrmUpgMessage1").caption(), "");
    // The first message keeps the fade's last colour; it shows no text.
    EXPECT_EQ(messageColour(rig), expectedFade(7).back());
}

}  // namespace
