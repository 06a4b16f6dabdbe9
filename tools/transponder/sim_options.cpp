#include "sim_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace sim {
namespace {

const char kHelp[] =
    "Usage: transponder_sim [options]\n"
    "\n"
    "Plays an AIS Class B transponder on a pseudo-terminal. It answers the\n"
    "version query \"!AIAIQ,VER*3C\\r\\n\" with a \"$AIVER,\" reply, and on the boot\n"
    "command \"$PDBG,107,1,,,,,,*16\\r\\n\" goes quiet and, after a delay, puts\n"
    "READY.TXT on its boot drive folder. It prints \"pty=<slave path>\" once the\n"
    "terminal is ready, and runs in the foreground until SIGTERM, SIGINT or the\n"
    "end of its parent process.\n"
    "\n"
    "The device listens at 115200 baud, 8 data bits, no parity, 1 stop bit. Its\n"
    "terminal starts at 9600 baud, even parity, 2 stop bits and is put back\n"
    "there after each request, so only the line settings that the program on\n"
    "the other side sets for an exchange can make it 115200 8N1; a request\n"
    "received at other settings is not understood (a note goes to standard\n"
    "error). A pseudo-terminal always holds 8 data bits, so those are not\n"
    "proved; parity is read as Wine sets it (input parity checking).\n"
    "\n"
    "Serial side:\n"
    "  --link PATH        make PATH a symbolic link to the slave side (for Wine:\n"
    "                     $WINEPREFIX/dosdevices/com5); made once ready (gone in\n"
    "                     the boot loader with --reboot-after, see below)\n"
    "  --record FILE      append every byte received to FILE (created empty)\n"
    "  --pidfile FILE     write the process id to FILE\n"
    "  --line-log FILE    for each request received, append a line with what it\n"
    "                     was and the line settings it came at, such as\n"
    "                     \"query 115200 8N1\" or \"boot 9600 8E2\" (created empty)\n"
    "  --watch-opens FILE append \"open\" to FILE each time another process opens\n"
    "                     the terminal (inotify IN_OPEN; created empty)\n"
    "  --version TEXT     firmware version in field 9 of the reply (default 2.0.1)\n"
    "  --model TEXT       model text of the reply (default AIS-B-K40)\n"
    "  --other-model      answer as another model (AIS-B-K20)\n"
    "  --long-version     a 25-character version text\n"
    "  --few-commas       a reply with fewer than ten commas\n"
    "  --model-later      model text only in a second sentence after the reply\n"
    "  --noise N          N bytes of other sentences written before the reply\n"
    "  --reply-delay MS   wait MS milliseconds before answering\n"
    "  --gap MS           pause MS milliseconds inside the reply ...\n"
    "  --gap-after N      ... after its first N bytes (default 10)\n"
    "  --reply TEXT       send TEXT (escapes \\r \\n \\t \\\\ \\0 \\xHH) as the whole reply\n"
    "  --silent           never answer, never boot (bytes are still recorded)\n"
    "  --busy             the port is in use elsewhere: other opens of the slave\n"
    "                     fail with EBUSY (TIOCEXCL; a process with CAP_SYS_ADMIN,\n"
    "                     such as root, is exempt: run Wine under\n"
    "                     setpriv --inh-caps=-sys_admin --bounding-set=-sys_admin)\n"
    "\n"
    "Boot drive side:\n"
    "  --drive DIR        the boot drive folder; made at start with the volume\n"
    "                     label file .windows-label (Wine reads it when its\n"
    "                     server starts, so start the simulator first)\n"
    "  --label TEXT       volume label (default \"VAZ UD40\")\n"
    "  --ready-delay MS   delay from the boot command to READY.TXT (default 3000)\n"
    "  --no-ready         accept the boot command but never make READY.TXT\n"
    "  --boot-mode        start in the boot loader: READY.TXT at once, no answers\n"
    "  --vanish-on-copy   when AIS_Firmware.S19 appears, empty the drive folder\n"
    "  --fill-drive       with --vanish-on-copy, also fill the drive's file system\n"
    "                     so that further writes fail (only on a file system with\n"
    "                     less than 64 MiB free, such as a small tmpfs mount)\n"
    "  --drive-link PATH  the drive's link, such as $WINEPREFIX/dosdevices/e: (made\n"
    "                     beforehand, the letter declared removable): removed when\n"
    "                     the device leaves its boot loader at a restart (if it is\n"
    "                     still there: tools/drive_gone may have taken it at the\n"
    "                     close of the image), and made again to --drive when the\n"
    "                     boot loader brings up its drive, with READY.TXT on it.\n"
    "                     While it is gone, nothing on the drive opens (Wine\n"
    "                     keeps the letter, its type and its label)\n"
    "\n"
    "Restart after an upgrade (only with --reboot-after; without it the device\n"
    "stays in its boot loader, its link in place, until it ends):\n"
    "  --reboot-after S   restart S seconds (decimals allowed) after the firmware\n"
    "                     file AIS_Firmware.S19 on the drive is complete: written\n"
    "                     since READY.TXT came, no longer open in any process (the\n"
    "                     folder is watched with inotify, so the close of a copy\n"
    "                     and the close of a reopen to flush both count), and as\n"
    "                     long as --image, else not empty. Opening it again stops\n"
    "                     the count until it is closed. Needs --drive.\n"
    "                     From the boot command until the restart the --link is\n"
    "                     gone (the port's open fails; with --boot-mode it is made\n"
    "                     only at the restart) and nothing is answered. At the\n"
    "                     restart READY.TXT and AIS_Firmware.S19 leave the drive\n"
    "                     folder (the boot loader took the image; the folder and\n"
    "                     its label stay, as Wine keeps the drive letter), the\n"
    "                     --link is made again and the version query is answered\n"
    "                     with the version below (with --restart-into firmware,\n"
    "                     the default). A further boot command starts another\n"
    "                     round.\n"
    "  --version-after T  version reported after a restart (default: that of\n"
    "                     --catalogue, else 2.05.118, the version in the\n"
    "                     wizard's resources/Bin/Firmware.csv)\n"
    "  --catalogue FILE   a catalogue (CSV \"Image,Version,Notes\") whose row for\n"
    "                     Bin\\App_K40.SBIN gives the default of --version-after\n"
    "  --image FILE       the image being installed: the firmware file is complete\n"
    "                     only at its size; at the restart standard error says\n"
    "                     whether the bytes taken were the same\n"
    "  --restart-into WHAT[,WHAT...]\n"
    "                     what the device comes back as; the n-th restart takes\n"
    "                     the n-th word, the last one repeating:\n"
    "                       firmware     the new firmware, as above (default)\n"
    "                       boot-loader  the boot loader again, the image not\n"
    "                                    started: no port, nothing answered;\n"
    "                                    after --drive-back-after its drive is\n"
    "                                    back with READY.TXT, without the image,\n"
    "                                    and an image copied there makes the\n"
    "                                    next restart\n"
    "                       nothing      no port, and no drive (its link gone\n"
    "                                    with --drive-link), for good\n"
    "  --drive-back-after S  with boot-loader: seconds from the restart until the\n"
    "                     drive is back (default 3)\n"
    "  --quiet-after-restart S  after a restart into firmware the port is back at\n"
    "                     once but answers nothing for S seconds (what it is sent\n"
    "                     meanwhile is recorded and dropped)\n"
    "  --link-after PATH  from the first restart into firmware on, the port's link\n"
    "                     is made at PATH, such as $WINEPREFIX/dosdevices/com7,\n"
    "                     instead of --link (the device came back on another port)\n"
    "  --gps-first N      after each restart into firmware, the first N version\n"
    "                     queries get only the device's own GPS sentences (no\n"
    "                     fix, as at a desk), as when a read ends before the reply\n"
    "\n"
    "  --verbose          log events to standard error\n"
    "  --help             this text\n"
    "\n"
    "Example, a device on COM5 of a Wine prefix:\n"
    "  transponder_sim --link \"$WINEPREFIX/dosdevices/com5\" --drive /tmp/bootdrive &\n";

int ToInt(const char* name, const char* text, bool& ok) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 100000000) {
        std::fprintf(stderr, "transponder_sim: %s wants a number, not '%s'\n", name, text);
        ok = false;
        return 0;
    }
    return static_cast<int>(value);
}

// Seconds with decimals, as whole milliseconds.
int ToMs(const char* name, const char* text, bool& ok) {
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= 0 && value <= 100000)) {
        std::fprintf(stderr, "transponder_sim: %s wants seconds, not '%s'\n", name, text);
        ok = false;
        return 0;
    }
    return static_cast<int>(value * 1000 + 0.5);
}

// "firmware,boot-loader,...": what each restart comes back as.
bool ToComebacks(const char* text, std::vector<Comeback>& out) {
    out.clear();
    std::string list = text;
    for (std::size_t at = 0; at <= list.size();) {
        std::size_t end = list.find(',', at);
        if (end == std::string::npos) end = list.size();
        const std::string word = list.substr(at, end - at);
        if (word == "firmware") out.push_back(Comeback::Firmware);
        else if (word == "boot-loader") out.push_back(Comeback::BootLoader);
        else if (word == "nothing") out.push_back(Comeback::Nothing);
        else {
            std::fprintf(stderr, "transponder_sim: --restart-into wants firmware, boot-loader or nothing, not '%s'\n",
                         word.c_str());
            return false;
        }
        at = end + 1;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        switch (c) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case '0': out += '\0'; break;
            case 'x':
                if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
                    out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
                    i += 2;
                } else {
                    out += "\\x";
                }
                break;
            default: out += c; break;
        }
    }
    return out;
}

bool ParseOptions(int argc, char** argv, Options& o, bool& helpShown) {
    helpShown = false;
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        const char* a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "transponder_sim: %s wants a value\n", a);
                ok = false;
                return "";
            }
            return argv[++i];
        };
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            std::fputs(kHelp, stdout);
            helpShown = true;
            return true;
        } else if (!std::strcmp(a, "--link")) o.link = value();
        else if (!std::strcmp(a, "--record")) o.recordFile = value();
        else if (!std::strcmp(a, "--pidfile")) o.pidFile = value();
        else if (!std::strcmp(a, "--line-log")) o.lineLog = value();
        else if (!std::strcmp(a, "--watch-opens")) o.opensLog = value();
        else if (!std::strcmp(a, "--version")) o.version = value();
        else if (!std::strcmp(a, "--model")) o.model = value();
        else if (!std::strcmp(a, "--other-model")) o.model = "AIS-B-K20";
        else if (!std::strcmp(a, "--long-version")) o.version = "V2.0.1-build.0042-release";
        else if (!std::strcmp(a, "--few-commas")) o.fewCommas = true;
        else if (!std::strcmp(a, "--model-later")) o.modelLater = true;
        else if (!std::strcmp(a, "--noise")) o.noiseBytes = ToInt(a, value(), ok);
        else if (!std::strcmp(a, "--reply-delay")) o.replyDelayMs = ToInt(a, value(), ok);
        else if (!std::strcmp(a, "--gap")) o.gapMs = ToInt(a, value(), ok);
        else if (!std::strcmp(a, "--gap-after")) o.gapAfter = ToInt(a, value(), ok);
        else if (!std::strcmp(a, "--reply")) { o.rawReply = Unescape(value()); o.haveRawReply = true; }
        else if (!std::strcmp(a, "--silent")) o.silent = true;
        else if (!std::strcmp(a, "--busy")) o.busy = true;
        else if (!std::strcmp(a, "--drive")) o.driveDir = value();
        else if (!std::strcmp(a, "--label")) o.label = value();
        else if (!std::strcmp(a, "--ready-delay")) o.readyDelayMs = ToInt(a, value(), ok);
        else if (!std::strcmp(a, "--no-ready")) o.noReady = true;
        else if (!std::strcmp(a, "--boot-mode")) o.bootMode = true;
        else if (!std::strcmp(a, "--vanish-on-copy")) o.vanishOnCopy = true;
        else if (!std::strcmp(a, "--fill-drive")) o.fillDrive = true;
        else if (!std::strcmp(a, "--reboot-after")) o.rebootAfterMs = ToMs(a, value(), ok);
        else if (!std::strcmp(a, "--version-after")) o.versionAfter = value();
        else if (!std::strcmp(a, "--catalogue")) o.catalogue = value();
        else if (!std::strcmp(a, "--image")) o.image = value();
        else if (!std::strcmp(a, "--restart-into")) {
            const char* words = value();
            if (ok) ok = ToComebacks(words, o.restartInto);
        }
        else if (!std::strcmp(a, "--drive-back-after")) o.driveBackMs = ToMs(a, value(), ok);
        else if (!std::strcmp(a, "--quiet-after-restart")) o.quietAfterRestartMs = ToMs(a, value(), ok);
        else if (!std::strcmp(a, "--link-after")) o.linkAfter = value();
        else if (!std::strcmp(a, "--gps-first")) o.gpsFirst = ToInt(a, value(), ok);
        else if (!std::strcmp(a, "--drive-link")) o.driveLink = value();
        else if (!std::strcmp(a, "--verbose")) o.verbose = true;
        else {
            std::fprintf(stderr, "transponder_sim: unknown option '%s' (see --help)\n", a);
            ok = false;
        }
    }
    if (!ok) return false;
    const bool restartOption = !o.versionAfter.empty() || !o.catalogue.empty() || !o.image.empty() ||
                               o.restartInto.size() != 1 || o.restartInto[0] != Comeback::Firmware ||
                               o.driveBackMs != 3000 || o.quietAfterRestartMs > 0 ||
                               !o.linkAfter.empty() || o.gpsFirst > 0;
    if ((restartOption && o.rebootAfterMs < 0) || (o.rebootAfterMs >= 0 && o.driveDir.empty())) {
        std::fprintf(stderr, "transponder_sim: --version-after, --catalogue, --image, --restart-into, "
                             "--drive-back-after, --quiet-after-restart, --link-after and --gps-first go with "
                             "--reboot-after, which needs --drive\n");
        return false;
    }
    if (!o.driveLink.empty() && o.driveDir.empty()) {
        std::fprintf(stderr, "transponder_sim: --drive-link needs --drive\n");
        return false;
    }
    if (o.versionAfter.empty() && !o.catalogue.empty()) {
        std::string error;
        if (!ReadCatalogueVersion(o.catalogue, o.versionAfter, error)) {
            std::fprintf(stderr, "transponder_sim: %s\n", error.c_str());
            return false;
        }
    }
    if (o.versionAfter.empty()) o.versionAfter = kDefaultVersionAfter;
    return true;
}

bool ReadCatalogueVersion(const std::string& path, std::string& version, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the catalogue " + path;
        return false;
    }
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t image = line.find(',');
        if (image == std::string::npos || line.compare(0, image, "Bin\\App_K40.SBIN") != 0) continue;
        const std::size_t end = line.find(',', image + 1);
        version = line.substr(image + 1, end == std::string::npos ? std::string::npos : end - image - 1);
        return true;
    }
    error = "no row for Bin\\App_K40.SBIN in the catalogue " + path;
    return false;
}

}  // namespace sim
