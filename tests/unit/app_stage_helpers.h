// Shared pieces of the stage machine tests: the texts of the boxes, and the
// ways to arrange the fakes and to reach each state from the start page.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/unit/app_fakes.h"

namespace apptest {

inline constexpr const char* kNoDevice = "Please confirm your device connection and power!";
inline constexpr const char* kNotReady = "Devicie update is not ready! Please run again.";
inline constexpr const char* kStalled =
    "Firmware update failded.\nPlease reboot your Computer and your Class B Device.\nRun the program again.";
// The paragraphs that say what stood in the way.
inline constexpr const char* kNoComPort =
    "\n\nWindows lists no COM port. Check the USB cable and that the transponder is on. If it is connected and "
    "on, Windows may lack its USB driver: see Device Manager, under \"Ports (COM & LPT)\".";
inline constexpr const char* kHeldByAnother =
    " in use by another program, such as navigation or chart software. Close that program and press Start again.";
inline constexpr const char* kDiskFullOnE =
    "\n\nCopying the firmware onto the transponder's drive E: failed. Windows says: There is not enough space "
    "on the disk.";
inline constexpr const char* kOnE = "\n\nCopying the firmware onto the transponder's drive E: failed. ";
inline constexpr const char* kNoWordsOnE =
    "\n\nCopying the firmware onto the transponder's drive E: failed. Windows reports error 1117.";
inline constexpr const char* kBootCommand = "$PDBG,107,1,,,,,,*16\r\n";
inline constexpr const char* kDeviceVersion = "V1.0.7";

inline constexpr const char* kStartPage = "TabSheetStart";
inline constexpr const char* kVersionPage = "TabSheetFirmwareVersion";
inline constexpr const char* kUpgradePage = "TabSheetFirmwareUpgrade";

inline void setProgress(int32_t percent) { bootdrive::CopyProgressPercent.store(percent); }

// Ways to arrange the fakes before the window is built.
inline void bootModeDevice(Rig& r) { r.drives.addBootDrive('E', true); }
inline void bigImageBootModeDevice(Rig& r) {
    r.dir.writeBin("App_K40.SBIN", std::string(3 << 20, 'x'));
    bootModeDevice(r);
}
inline void serialDevice(Rig& r) { r.ports.addPort(5, apptest::versionReply(kDeviceVersion)); }
inline void noDevice(Rig&) {}

// Ways to reach a state from the start page.
inline void toVersion(Rig& r) { r.clickStart(); }
inline void toWaiting(Rig& r) {
    r.clickStart();
    r.clickYes();
}
inline void toCopying(Rig& r) {  // needs the boot drive ready
    toWaiting(r);
    r.tick(2);
}
// True once `condition` holds, looked at for up to 5 s.
inline bool waitUntil(const std::function<bool()>& condition) {
    for (int i = 0; i < 1000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}
// True once the worker has told how the running copy ended (within 5 s).
inline bool copyEnded(Rig& r) {
    return waitUntil([&r] { return r.form().CopyWorker->lastCopy().has_value(); });
}
// The running copy ends, whole or with a Windows error; true once the
// worker has told how and waits again.
inline bool endCopy(Rig& r, uint32_t error = 0) {
    r.copier.succeed = error == 0;
    r.copier.failWith = error;
    r.copier.endCopies();
    return copyEnded(r);
}
inline void toComplete(Rig& r) {
    toCopying(r);
    setProgress(100);
    r.tick();
}

// The serial path to "Finish!": the device answers on COM5 at Start, and
// its boot drive E: comes after Yes.
inline void toCompleteOverSerial(Rig& r) {
    toWaiting(r);
    r.drives.addBootDrive('E', true);
    r.tick(2);
    setProgress(100);
    r.tick();
}
// Ticks of the version watch, the looks on the port worker waited for,
// until `answered` holds or 100 ticks have passed; true when it held.
inline bool watchUntil(Rig& r, const std::function<bool()>& answered) {
    for (int i = 0; i < 2000 && !answered(); ++i) {
        r.click("TimerVersionWatch");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return answered();
}

inline std::vector<std::string> boxTexts(const Rig& r) {
    std::vector<std::string> out;
    for (const auto& b : r.dialogs.boxes) out.push_back(b.text);
    return out;
}

}  // namespace apptest
