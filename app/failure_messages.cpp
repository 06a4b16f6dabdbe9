#include "app/failure_messages.h"

#include <algorithm>
#include <vector>

#include "app/Mainform.h"
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

}  // namespace

std::string NoDeviceMessage(const serial::PortLists& lists, const std::vector<int>& stuck) {
    serial::PortLists others = lists;
    std::vector<std::string> ours;
    for (int port : stuck) {
        const auto busy = std::find(others.BusyPorts.begin(), others.BusyPorts.end(), port);
        if (busy == others.BusyPorts.end()) continue;
        others.BusyPorts.erase(busy);
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
    // A file of the wrong size is no error of Windows: only the wizard's
    // words tell it.
    std::string reason = result.error == bootdrive::kErrorWrongSize ? std::string()
                         : result.reason.empty() ? "Windows reports error " + std::to_string(result.error) + "."
                                                 : "Windows says: " + result.reason;
    if (!result.fault.empty()) reason += (reason.empty() ? "" : " ") + result.fault;
    return WithParagraph(kStalledMessage, "Copying the firmware onto the transponder's drive " + drive +
                                              " failed. " + reason);
}

std::string EarlierCopyMessage(const std::string& earlierTarget) {
    return WithParagraph(kStalledMessage, "An earlier copy onto " + earlierTarget.substr(0, 2) + " has not ended yet.");
}

}  // namespace app
