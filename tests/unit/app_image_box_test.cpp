// The box of an image that stands in the way: the wizard's words for each
// case, after the first line every such box keeps.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "tests/unit/app_fakes.h"

namespace {

using apptest::Rig;

constexpr const char* kNoFirmware = "No firmware is found or incorrect firmware!";

// The image box says what stands in the way after its first line, and
// Start stays disabled. The program runs from `folder` under the rig's
// folder ({dir} in `says`: the program's); TEMP is elsewhere unless the row
// puts it over the program, written in capitals.
TEST(AppStartup, ImageBoxSaysWhatStandsInTheWay) {
    const std::string header = "S00600004844521B\n", end = "S9030000FC\n", zip = "started from inside the zip";
    const std::string missing = "looked for at {dir}Bin\\App_K40.SBIN, and it is not there";
    const std::string cut = "{dir}Bin\\App_K40.SBIN is damaged at line 2: the file ends before its last record";
    const struct {
        const char* name;
        std::string folder;
        bool tempOverProgram;
        std::optional<std::string> image;  // none: no image; "/": a folder in its place
        bool startAtOnce;                  // pressed before the window showed: Start checks
        std::string says;
    } rows[] = {
        {"Bin folder left behind", "", false, std::nullopt, false, missing},
        {"Explorer's folder of the zip", "Temp1_FirmwareUpgrade-1.8.2-win64.zip/FirmwareUpgrade-1.8.2-win64/",
         false, std::nullopt, false, zip},
        {"7-Zip's folder under TEMP", "7zO4A3B2C1D/", true, std::nullopt, false, zip},
        {"a folder named Temp1_ that is no zip's", "Temp1_old/", false, std::nullopt, false, missing},
        {"a folder too deep", std::string(240, 'd') + "/", false, end, false,
         "image, {dir}Bin\\App_K40.SBIN, is longer than 255 characters"},
        {"a folder where the image goes", "", false, "/", false,
         "{dir}Bin\\App_K40.SBIN cannot be read. Windows says: Is a directory"},
        {"a checksum changed", "", false, "S00600004844521C\n" + end, false,
         "{dir}Bin\\App_K40.SBIN is damaged at line 1: the checksum is 1C, its bytes give 1B. Unpack the zip again"},
        {"cut before its last record", "", false, header, false, cut},
        {"Start before the check", "", false, header, true, cut},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig::Options options;
        options.imagePresent = false;
        options.shown = !row.startAtOnce;
        Rig rig(options, [&](Rig& r) {
            const std::string folder = r.dir.path() + row.folder;
            std::filesystem::create_directories(folder + "Bin");
            if (row.image == "/") std::filesystem::create_directories(folder + "Bin/App_K40.SBIN");
            else if (row.image) std::ofstream(folder + "Bin/App_K40.SBIN") << *row.image;
            r.desktop.path = folder + "FirmwareUpgrade.exe";
            if (row.tempOverProgram) r.desktop.temp = r.dir.path() + "7ZO4A3B2C1D/";
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
    }
}

}  // namespace
