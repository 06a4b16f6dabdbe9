#include "app/failure_messages.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "app/Mainform.h"
#include "package/catalogue.h"
#include "serial/port_discovery.h"

namespace app {

namespace {

// "A", "A and B", "A, B and C".
std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

std::string WithParagraph(const char* text, const std::string& paragraph) {
    return std::string(text) + "\n\n" + paragraph;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Explorer's folder for a program started from inside a zip:
// "Temp1_FirmwareUpgrade-1.8.2-win64.zip" (Temp2_... for the next one).
bool ExplorerZipFolder(const std::string& name) {
    const std::string lower = Lower(name);
    std::size_t i = 4;
    if (lower.compare(0, 4, "temp") != 0) return false;
    while (i < lower.size() && std::isdigit(static_cast<unsigned char>(lower[i]))) ++i;
    const std::string zip = ".zip";
    return i > 4 && i < lower.size() && lower[i] == '_' && lower.size() > i + 1 + zip.size() &&
           lower.compare(lower.size() - zip.size(), zip.size(), zip) == 0;
}

// A program started from inside a zip runs from a folder of temporary
// files: one under the user's TEMP, where zip programs unpack it (7-Zip's
// 7zO..., WinRAR's Rar$EX...), or Explorer's.
bool InTemporaryFolder(const std::string& programFolder, const std::string& tempFolder) {
    if (!tempFolder.empty() && Lower(programFolder).compare(0, tempFolder.size(), Lower(tempFolder)) == 0) return true;
    std::size_t begin = 0;
    for (std::size_t end; (end = programFolder.find_first_of("\\/", begin)) != std::string::npos; begin = end + 1)
        if (ExplorerZipFolder(programFolder.substr(begin, end - begin))) return true;
    return false;
}

}  // namespace

std::string NoDeviceMessage(const serial::PortLists& lists, const std::vector<int>& stuck) {
    serial::PortLists others = lists;
    std::vector<std::string> ours;
    for (int port : stuck) {
        const auto busy = std::find(others.BusyPorts.begin(), others.BusyPorts.end(), port);
        if (busy != others.BusyPorts.end()) others.BusyPorts.erase(busy);
        ours.push_back(serial::ComName(port));
    }
    std::string paragraphs;
    if (!ours.empty())
        paragraphs = Listed(ours) + (ours.size() == 1 ? " does" : " do") +
                     " not respond: its driver has not finished an earlier call. Unplug the transponder's USB cable, "
                     "plug it in again and press Start again.";
    const auto busy = serial::BusyPortNames(others);
    if (!busy.empty())
        paragraphs += (paragraphs.empty() ? "" : "\n\n") + Listed(busy) + (busy.size() == 1 ? " is" : " are") +
                      " in use by another program, such as navigation or chart software. "
                      "Close that program and press Start again.";
    if (!paragraphs.empty()) return WithParagraph(kNoDeviceMessage, paragraphs);
    if (lists.EnumeratedPorts.empty()) {
        return WithParagraph(kNoDeviceMessage,
                             "Windows lists no COM port. Check the USB cable and that the transponder is on. "
                             "If it is connected and on, Windows may lack its USB driver: see Device Manager, "
                             "under \"Ports (COM & LPT)\".");
    }
    return kNoDeviceMessage;
}

std::string CopyFailedMessage(const std::string& targetPath, const bootdrive::CopyResult& result) {
    const std::string drive = targetPath.substr(0, 2);
    // A file of the wrong size, a failure without a code: no error of
    // Windows, only the wizard's words tell them.
    std::string reason = bootdrive::IsWizardError(result.error) ? std::string()
                         : result.reason.empty() ? "Windows reports error " + std::to_string(result.error) + "."
                                                 : "Windows says: " + result.reason;
    if (!result.fault.empty()) reason += (reason.empty() ? "" : " ") + result.fault;
    return WithParagraph(kStalledMessage, "Copying the firmware onto the transponder's drive " + drive +
                                              " failed. " + reason);
}

std::string EarlierCopyMessage(const std::string& earlierTarget) {
    return WithParagraph(kStalledMessage, "An earlier copy onto " + earlierTarget.substr(0, 2) + " has not ended yet.");
}

std::string NoFirmwareMessage(const package::ImageTrouble& trouble, const std::string& programFolder,
                              const std::string& longProgramFolder, const std::string& tempFolder) {
    using Kind = package::ImageTrouble::Kind;
    const std::string image = programFolder + package::kImageName;
    switch (trouble.kind) {
        case Kind::Missing:
            if (InTemporaryFolder(longProgramFolder, tempFolder))
                return WithParagraph(kNoFirmwareMessage,
                                     "FirmwareUpgrade.exe was started from inside the zip, where only the program "
                                     "itself was unpacked. Unpack the whole zip into a folder, keep the Bin folder "
                                     "beside FirmwareUpgrade.exe, and start it from there.");
            return WithParagraph(kNoFirmwareMessage, "The firmware image was looked for at " + image +
                                                         ", and it is not there. The Bin folder from the zip must "
                                                         "stay beside FirmwareUpgrade.exe.");
        case Kind::PathTooLong:
            return WithParagraph(kNoFirmwareMessage,
                                 "The program's folder lies too deep: the path of its firmware image, " + image +
                                     ", is longer than 255 characters. Move the program with its Bin folder to a "
                                     "folder nearer the drive's root, such as C:\\Firmware.");
        case Kind::Unreadable:
            return WithParagraph(kNoFirmwareMessage, "The firmware image " + image + " cannot be read." +
                                                         (trouble.reason.empty() ? "" : " Windows says: " + trouble.reason));
        case Kind::Damaged:
            break;
    }
    return WithParagraph(kNoFirmwareMessage, "The firmware image " + image + " is damaged at " + trouble.reason +
                                                 ". Unpack the zip again, and start FirmwareUpgrade.exe from the "
                                                 "unpacked folder.");
}

}  // namespace app
