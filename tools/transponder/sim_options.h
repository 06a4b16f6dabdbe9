// Command line of the transponder simulator.
#pragma once

#include <string>
#include <vector>

namespace sim {

// What the device comes back as after a restart from its boot loader.
enum class Comeback {
    Firmware,    // the new firmware: the port comes back and answers
    BootLoader,  // the boot loader again: its drive, ready for an image, no port
    Nothing,     // neither port nor drive
};

struct Options {
    std::string link;          // symlink made to the terminal's slave side
    std::string pidFile;       // our process id is written here
    std::string recordFile;    // every byte received is appended here
    std::string lineLog;       // the line settings of each request received
    std::string opensLog;      // a line for each open of the terminal by others
    std::string driveDir;      // the boot drive's folder
    std::string label = "VAZ UD40";
    std::string model = "AIS-B-K40";
    std::string version = "2.0.1";
    // After a restart from the boot loader (--reboot-after): the version
    // then reported, the catalogue it may come from and the image whose
    // size the firmware file must have.
    std::string versionAfter;  // empty: the catalogue's, else kDefaultVersionAfter
    std::string catalogue;
    std::string image;
    std::string rawReply;      // replaces the whole reply when set
    bool haveRawReply = false;
    bool silent = false;
    bool busy = false;         // the port is held by another program
    bool fewCommas = false;
    bool modelLater = false;
    bool noReady = false;
    bool bootMode = false;     // already in the boot loader at start
    bool vanishOnCopy = false;
    bool fillDrive = false;
    int noiseBytes = 0;
    int replyDelayMs = 0;
    int gapMs = 0;
    int gapAfter = 10;
    int readyDelayMs = 3000;
    int rebootAfterMs = -1;    // -1: the device stays in its boot loader
    // The n-th restart comes back as restartInto[n], the last one repeating.
    std::vector<Comeback> restartInto{Comeback::Firmware};
    int driveBackMs = 3000;    // restart into the boot loader: until its drive is back
    int quietAfterRestartMs = 0;
    std::string linkAfter;     // the port's link from a restart into firmware on
    int gpsFirst = 0;          // queries after a restart answered with GPS sentences only
    std::string driveLink;     // the boot drive's dosdevices link, made and removed
    bool verbose = false;
};

// The version in resources/Bin/Firmware.csv, reported after a restart
// when neither --version-after nor --catalogue says otherwise.
inline constexpr const char* kDefaultVersionAfter = "2.05.118";

// Parses argv; on a bad command line prints why and returns false.
// Sets `helpShown` when --help was asked for.
bool ParseOptions(int argc, char** argv, Options& options, bool& helpShown);

// The Version field of the catalogue row (CSV "Image,Version,Notes") whose
// Image is Bin\App_K40.SBIN; false with a note in `error` when the file
// cannot be read or holds no such row.
bool ReadCatalogueVersion(const std::string& path, std::string& version, std::string& error);

// Turns the escapes \r \n \t \\ \0 and \xHH of `text` into bytes.
std::string Unescape(const std::string& text);

}  // namespace sim
