// The window for the keyboard and for screen readers: what each page reads
// as (checked against tests/accessible_view.txt, which the Wine probe of
// the real window reads too), the events each stage change raises, and the
// keys' rules that the real window (e2e_keyboard.sh, e2e_typed_ahead.sh)
// cannot show one by one.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "ui/accessible_view.h"
#include "tests/accessible_line.h"
#include "tests/unit/app_stage_helpers.h"

namespace {

using apptest::Rig;
using ui::AccessibleEvent;

std::map<std::string, std::vector<std::string>> table() {
    std::map<std::string, std::vector<std::string>> pages;
    std::ifstream in(WIZARD_TESTS_DIR "/accessible_view.txt");
    std::string page, text;
    while (std::getline(in, text)) {
        if (text.empty() || text[0] == '#') continue;
        if (text[0] == '[') page = text.substr(1, text.size() - 2);
        else pages[page].push_back(text);
    }
    return pages;
}

// The bench of the table: the device answers 2.0.1 on COM5, the image is
// 2.05.118, and a boot drive comes up when asked.
Rig::Options bench() {
    Rig::Options o;
    o.catalogue = "Image,Version\nBin\\App_K40.SBIN,2.05.118\n";
    return o;
}
void device(Rig& r) { r.ports.addPort(5, apptest::versionReply("2.0.1")); }
void toUpgrading(Rig& r) {
    apptest::toWaiting(r);
    r.blink();
}
void toFinished(Rig& r) {
    apptest::toWaiting(r);
    r.drives.addBootDrive('E', true);
    r.tick(2);
    apptest::setProgress(100);
    r.tick();
}

// The window's focus and the events it raises, following the form.
struct Reader {
    explicit Reader(Rig& r) : rig(r), focus(r.form().layout()) {
        r.desktop.observer.also = [this](ui::Component& c, ui::Prop p) {
            for (const auto& e : ui::ChangeEvents(focus, rig.form().layout(), c, p)) {
                const ui::Component* item = e.id ? ui::AccessibleOrder(rig.form().layout())[e.id - 1] : nullptr;
                events.push_back({e.event, item ? item->name : ""});
            }
        };
    }
    ~Reader() { rig.desktop.observer.also = nullptr; }
    std::vector<std::string> page() {
        std::vector<std::string> lines;
        for (const auto& item : ui::AccessibleItems(rig.form().layout(), focus.focused(), ui::Scale()))
            if (!(item.states & ui::accessible_state::kInvisible))
                lines.push_back(AccessibleLine(static_cast<uint32_t>(item.role), item.name, item.value, item.states,
                                               item.description));
        return lines;
    }
    Rig& rig;
    ui::KeyboardFocus focus;
    std::vector<std::pair<AccessibleEvent, std::string>> events;
};

TEST(AccessibleView, PagesReadAsTheTableSays) {
    const auto pages = table();
    const std::pair<const char*, void (*)(Rig&)> rows[] = {
        {"start", [](Rig&) {}}, {"version", apptest::toVersion}, {"upgrading", toUpgrading}, {"finished", toFinished}};
    for (const auto& [page, reach] : rows) {
        SCOPED_TRACE(page);
        Rig rig(bench(), device);
        Reader reader(rig);
        reach(rig);
        ASSERT_EQ(pages.count(page), 1u);
        EXPECT_EQ(reader.page(), pages.at(page));
    }
}

TEST(AccessibleView, StageChangesRaiseTheirEvents) {
    using E = AccessibleEvent;
    const std::string bar = "ProgressBar2", status = "lblUpgradeStatus", finish = "SpeedButtonFrmUpgFinish";
    const std::string msg1 = "StaticTextFrmUpgMessage1", msg2 = "StaticTextFrmUpgMessage2";
    struct Row {
        const char* name;
        void (*from)(Rig&);
        void (*action)(Rig&);
        std::vector<std::pair<E, std::string>> events;
    } rows[] = {
        {"Start: the scan's progress, the new page, Yes", [](Rig&) {}, apptest::toVersion,
         {{E::ValueChange, bar}, {E::ValueChange, bar}, {E::Reorder, ""},
          {E::Focus, "SpeedButtonFrmVerWantToContinueYes"}}},
        {"Yes", apptest::toVersion, [](Rig& r) { r.clickYes(); },
         {{E::NameChange, status}, {E::Reorder, ""}, {E::Focus, ""}}},
        {"first fade step shows the messages", apptest::toWaiting, [](Rig& r) { r.blink(); },
         {{E::NameChange, msg1}, {E::NameChange, msg2}}},
        {"the fade raises nothing", toUpgrading, [](Rig& r) { r.blink(40); }, {}},
        {"the copy completes", [](Rig& r) {
             toUpgrading(r);
             r.drives.addBootDrive('E', true);
             r.tick(2);
             apptest::setProgress(100);
         },
         [](Rig& r) { r.tick(); },
         {{E::NameChange, msg1}, {E::NameChange, msg2}, {E::NameChange, status}, {E::Alert, status},
          {E::StateChange, finish}, {E::Focus, finish}, {E::ValueChange, bar}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig(bench(), device);
        row.from(rig);
        Reader reader(rig);
        row.action(rig);
        EXPECT_EQ(reader.events, row.events);
    }
}

// Space presses on its way up, on the control it went down on, and once;
// input given before the shown page came up is dropped, also across the
// tick count's wrap.
TEST(Keys, SpaceOnItsWayUpAndTypedAheadInputDropped) {
    using ui::Key;
    const std::pair<const char*, void (*)(Rig&, ui::KeyboardFocus&)> moves[] = {
        {"nothing", [](Rig&, ui::KeyboardFocus&) {}},
        {"Tab", [](Rig&, ui::KeyboardFocus& f) { f.key(Key::Tab); }},
        {"a new page", [](Rig& r, ui::KeyboardFocus&) { apptest::toVersion(r); }},
        {"a second key-up", [](Rig&, ui::KeyboardFocus& f) { f.keyUp(Key::Space); }}};
    for (const auto& [name, move] : moves) {
        Rig rig(bench(), device);
        Reader reader(rig);
        EXPECT_EQ(reader.focus.key(Key::Space).kind, ui::KeyAction::Kind::None) << name;
        move(rig, reader.focus);
        const ui::KeyAction up = reader.focus.keyUp(Key::Space);
        EXPECT_EQ(up.target, move == moves[0].second ? &rig.get("SpeedButtonStart") : nullptr) << name;
    }
    EXPECT_TRUE(ui::GivenBefore(100, 200) && ui::GivenBefore(200, 200) && ui::GivenBefore(0xFFFFFFF0u, 5));
    EXPECT_FALSE(ui::GivenBefore(201, 200) || ui::GivenBefore(5, 0xFFFFFFF0u));
}

}  // namespace
