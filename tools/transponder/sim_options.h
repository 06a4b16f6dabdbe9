// Command line of the transponder simulator.
#pragma once

#include <string>

namespace sim {

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
    bool verbose = false;
};

// Parses argv; on a bad command line prints why and returns false.
// Sets `helpShown` when --help was asked for.
bool ParseOptions(int argc, char** argv, Options& options, bool& helpShown);

// Turns the escapes \r \n \t \\ \0 and \xHH of `text` into bytes.
std::string Unescape(const std::string& text);

}  // namespace sim
