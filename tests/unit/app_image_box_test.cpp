// The box of an image that stands in the way: the wizard's words for each
// case, after the first line every such box keeps.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "tests/unit/app_fakes.h"

namespace {

using apptest::Rig;

constexpr const char* kNoFirmware = "No firmware is found or incorrect firmware!";

// How the image's check gets its thread: its own, none (it runs at once on
// the window's thread), or one that runs only once Start waits for it.
enum class Launch { Thread, Refused, WhenStartWaits };

// The image box says what stands in the way after its first line, and
// Start stays disabled. The program runs from `folder` under the rig's
// folder ({dir} in `says` and `temp`: the rig's, where ANNAMA~1 is the 8.3
// name of "Anna Maria"); `temp` is TEMP, empty when it cannot be had.
TEST(AppStartup, ImageBoxSaysWhatStandsInTheWay) {
    const std::string header = "S00600004844521B\n", end = "S9030000FC\n", zip = "started from inside the zip";
    const std::string missing = "looked for at {dir}Bin\\App_K40.SBIN, and it is not there";
    const std::string cut = "{dir}Bin\\App_K40.SBIN is damaged at line 2: the file ends before its last record";
    const std::string sevenZip = "7zO4A3B2C1D/", elsewhere = "/nowhere/Temp/";
    const struct {
        const char* name;
        std::string folder;
        std::string temp;
        std::optional<std::string> image;  // none: no image; "/": a folder in its place
        bool startAtOnce;                  // pressed before the window showed: Start checks
        std::string says;
        Launch launch = Launch::Thread;
    } rows[] = {
        {"Bin folder left behind", "", elsewhere, std::nullopt, false, missing},
        {"Explorer's folder of the zip", "Temp1_FirmwareUpgrade-1.8.2-win64.zip/FirmwareUpgrade-1.8.2-win64/",
         elsewhere, std::nullopt, false, zip},
        {"7-Zip's folder under TEMP", sevenZip, "{dir}7ZO4A3B2C1D/", std::nullopt, false, zip},
        {"TEMP unknown", sevenZip, "", std::nullopt, false, missing},
        {"a short TEMP", "ANNAMA~1/Temp/" + sevenZip, "{dir}Anna Maria/Temp/", std::nullopt, false, zip},
        {"a folder named Temp1_ that is no zip's", "Temp1_old/", elsewhere, std::nullopt, false, missing},
        {"a folder too deep", std::string(240, 'd') + "/", elsewhere, end, false,
         "image, {dir}Bin\\App_K40.SBIN, is longer than 255 characters"},
        {"a folder where the image goes", "", elsewhere, "/", false,
         "{dir}Bin\\App_K40.SBIN cannot be read. Windows says: Is a directory"},
        {"a checksum changed", "", elsewhere, "S00600004844521C\n" + end, false,
         "{dir}Bin\\App_K40.SBIN is damaged at line 1: the checksum is 1C, its bytes give 1B. Unpack the zip again"},
        {"a launcher that refuses the check its thread", "", elsewhere, header, false, cut, Launch::Refused},
        {"cut before its last record", "", elsewhere, header, false, cut},
        {"Start before the check", "", elsewhere, header, true, cut, Launch::WhenStartWaits},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig::Options options;
        options.imagePresent = false;
        options.shown = !row.startAtOnce;
        std::function<void()> check;     // the check, held until Start waits for it
        std::string statusWhileWaiting;  // the status line then
        Rig rig(options, [&](Rig& r) {
            const std::string folder = r.dir.path() + row.folder;
            std::filesystem::create_directories(folder + "Bin");
            if (row.image == "/") std::filesystem::create_directories(folder + "Bin/App_K40.SBIN");
            else if (row.image) std::ofstream(folder + "Bin/App_K40.SBIN") << *row.image;
            r.desktop.path = folder + "FirmwareUpgrade.exe";
            r.desktop.temp = row.temp.rfind("{dir}", 0) == 0 ? r.dir.path() + row.temp.substr(5) : row.temp;
            r.desktop.longNames[r.dir.path() + "ANNAMA~1/"] = r.dir.path() + "Anna Maria/";
            // Once the window is shown, the first thread is the copy
            // worker's, the second the check's; a Start before that asks
            // for the check's alone.
            if (row.launch != Launch::Thread)
                r.services.launchWorker = [&, launches = 0](std::function<void()> body) mutable {
                    if (++launches == 1 && !row.startAtOnce) return bootdrive::LaunchDetachedThread(std::move(body));
                    if (row.launch == Launch::Refused) throw std::system_error(EAGAIN, std::generic_category());
                    check = std::move(body);
                };
            r.desktop.whileServing = [&] {
                if (!check) return;
                statusWhileWaiting = r.get("lblUpgradeStatus").caption();
                std::exchange(check, nullptr)();
            };
            r.ports.addPort(5, apptest::versionReply("2.0.1"));
        });
        if (row.startAtOnce) rig.clickStart();
        std::string says = row.says;
        if (says.find("{dir}") != std::string::npos) says.replace(says.find("{dir}"), 5, rig.dir.path() + row.folder);
        EXPECT_EQ(rig.dialogs.boxes.size(), 1u);
        const std::string text = rig.dialogs.boxes.empty() ? "" : rig.dialogs.boxes[0].text;
        EXPECT_EQ(text.rfind(kNoFirmware + std::string("\n\n"), 0), 0u) << text;
        EXPECT_NE(text.find(says), std::string::npos) << text;
        EXPECT_FALSE(rig.get("SpeedButtonStart").enabled());
        EXPECT_EQ(rig.ports.calls, 0) << "no port is touched";
        EXPECT_EQ(statusWhileWaiting, row.launch == Launch::WhenStartWaits ? app::kCheckingImageStatus : "");
        EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), "") << "the status line as it was";
    }
}

}  // namespace
