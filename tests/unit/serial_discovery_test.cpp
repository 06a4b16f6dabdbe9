// Finding the COM ports: friendly names, the exclusive probe, candidates.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "serial/com_number.h"
#include "serial/port_discovery.h"
#include "serial_fakes.h"

namespace {

using serial_test::FakePorts;

struct NameCase {
    const char* name;
    int32_t port;  // 0: no port
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class FriendlyName : public ::testing::TestWithParam<NameCase> {};

TEST_P(FriendlyName, GivesItsComNumber) {
    EXPECT_EQ(serial::ComNumberOfFriendlyName(GetParam().name), GetParam().port) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, FriendlyName,
    ::testing::Values(NameCase{"USB Serial Port (COM7)", 7}, NameCase{"Communications Port (COM1)", 1},
                      NameCase{"COMBO adapter (COM4)", 0}, NameCase{"ECP Printer Port (LPT1)", 0},
                      NameCase{"USB Serial Port (COM261)", 261}, NameCase{"Port (com5)", 0},
                      NameCase{"Port COM 12", 12}, NameCase{"Port COM\t\n 13)", 13},
                      NameCase{"Port COM+14", 14}, NameCase{"Port COM-3", -3}, NameCase{"Port COM+-3", 0},
                      NameCase{"Port COM", 0}, NameCase{"COM0", 0}, NameCase{"COM007x", 7},
                      NameCase{"COM99999999999", INT32_MAX}, NameCase{"COM-99999999999", INT32_MIN},
                      NameCase{"COM2147483647", INT32_MAX}, NameCase{"COM-2147483648", INT32_MIN}));

TEST(ComDevicePath, CarriesTheWholeNumber) {
    EXPECT_EQ(serial::ComDevicePath(7), "\\\\.\\COM7");
    EXPECT_EQ(serial::ComDevicePath(261), "\\\\.\\COM261");
}

TEST(EnumeratePortNumbers, KeepsNamedPortsAscendingAndSkipsOthers) {
    FakePorts ports;
    const std::string usb = "USB\\VID_0403&PID_6001\\A1";
    const std::string bluetooth = "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1&0&0_C00000000";
    ports.devices = {{"USB Serial Port (COM12)", usb},
                     {"Standard Serial over Bluetooth link (COM2)", bluetooth},
                     {"ECP Printer Port (LPT1)", "ACPI\\PNP0401\\0"},
                     {std::nullopt, usb},  // this device's name cannot be read
                     {"COMBO adapter (COM4)", usb},
                     {"Communications Port (COM3)", "ACPI\\PNP0501\\1"},
                     {"Standard Serial over Bluetooth link (COM6)", bluetooth},
                     {"USB Serial Port (COM261)", std::nullopt},  // its ID cannot be read: kept
                     {"USB Serial Port (COM3)", usb}};
    serial::PortLists lists;
    lists.EnumeratedPorts = {99};  // a previous detection's lists are replaced
    lists.BusyPorts = {99};
    serial::EnumeratePortNumbers(ports, lists);
    EXPECT_EQ(lists.EnumeratedPorts, (std::vector<int>{3, 3, 12, 261}));
    EXPECT_TRUE(lists.BusyPorts.empty()) << "a port held at an earlier Start is not named again";
}

// Which bus enumerated a port decides whether it is scanned at all: a
// paired Bluetooth device's port is never opened.
struct InstanceIdCase {
    const char* what;
    std::optional<std::string> instanceId;  // none: cannot be read
    bool scanned;
};

void PrintTo(const InstanceIdCase& c, std::ostream* os) { *os << c.what; }

class InstanceId : public ::testing::TestWithParam<InstanceIdCase> {};

TEST_P(InstanceId, DecidesWhetherThePortIsScanned) {
    FakePorts ports;
    ports.devices = {{"Port (COM7)", GetParam().instanceId}};
    serial::PortLists lists;
    serial::EnumeratePortNumbers(ports, lists);
    serial::ProbeOpenablePorts(ports, lists);
    EXPECT_EQ(lists.EnumeratedPorts, GetParam().scanned ? std::vector<int>{7} : std::vector<int>{});
    EXPECT_EQ(ports.probed, GetParam().scanned ? std::vector<int>{7} : std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(
    Enumerators, InstanceId,
    ::testing::Values(
        InstanceIdCase{"Bluetooth", "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A1B3C4D&0&"
                                    "0012A3B4C5D6_C00000000", false},
        InstanceIdCase{"Bluetooth in lower case", "bthenum\\{00001101-0000-1000-8000-00805f9b34fb}_vid&0001\\8&1", false},
        InstanceIdCase{"Bluetooth in mixed case", "BthEnum\\{00001101}\\1", false},
        InstanceIdCase{"Bluetooth enumerator alone", "BTHENUM", false},
        InstanceIdCase{"USB", "USB\\VID_067B&PID_2303\\5&1A2B3C4D&0&2", true},
        InstanceIdCase{"FTDI bus", "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", true},
        InstanceIdCase{"root", "ROOT\\PORTS\\0000", true},
        InstanceIdCase{"BTHENUM further in", "USB\\BTHENUM\\1", true},
        InstanceIdCase{"longer enumerator", "BTHENUMX\\1", true},
        InstanceIdCase{"empty", std::string(), true}, InstanceIdCase{"unreadable", std::nullopt, true}));

TEST(EnumeratePortNumbers, ManyDevicesAllCount) {
    FakePorts ports;
    for (int p = 300; p >= 1; --p) ports.present({p});
    serial::PortLists lists;
    serial::EnumeratePortNumbers(ports, lists);
    ASSERT_EQ(lists.EnumeratedPorts.size(), 300u);
    EXPECT_EQ(lists.EnumeratedPorts.front(), 1);
    EXPECT_EQ(lists.EnumeratedPorts.back(), 300);
}

TEST(Discovery, ClassThatCannotBeOpenedGivesNoCandidate) {
    FakePorts ports;
    ports.present({5});
    ports.classOpens = false;
    serial::PortLists lists{{5}, {5}, {5}};
    serial::EnumeratePortNumbers(ports, lists);
    serial::ProbeOpenablePorts(ports, lists);
    serial::SelectCandidatePorts(lists);
    EXPECT_TRUE(lists.EnumeratedPorts.empty());
    EXPECT_TRUE(lists.CandidatePorts.empty());
    EXPECT_TRUE(ports.probed.empty());
}

TEST(Discovery, BusyPortIsEnumeratedButNotACandidate) {
    FakePorts ports;
    ports.present({12, 3, 7, 9, 5, 6, 8});
    ports.busy = {7};
    // What each driver answers for a port held elsewhere, and failures that
    // say nothing of another program (the port gone, a broken device).
    ports.openErrors = {{9, serial::kErrorSharingViolation}, {5, serial::kErrorBusy}, {6, 2}, {8, 31}};
    ports.devices.push_back({"Port COM 9", "ACPI\\PNP0501\\9"});  // a second device as COM9
    serial::PortLists lists;
    serial::EnumeratePortNumbers(ports, lists);
    serial::ProbeOpenablePorts(ports, lists);
    serial::SelectCandidatePorts(lists);
    EXPECT_EQ(lists.EnumeratedPorts, (std::vector<int>{3, 5, 6, 7, 8, 9, 9, 12}));
    EXPECT_EQ(ports.probed, (std::vector<int>{3, 5, 6, 7, 8, 9, 9, 12}));
    EXPECT_EQ(lists.OpenablePorts, (std::vector<int>{3, 12}));
    EXPECT_EQ(lists.CandidatePorts, (std::vector<int>{3, 12}));
    EXPECT_EQ(lists.BusyPorts, (std::vector<int>{5, 7, 9, 9}));
    EXPECT_EQ(serial::BusyPortNames(lists),
              (std::vector<std::string>{"COM5 (USB Serial Port)", "COM7 (USB Serial Port)", "COM9 (USB Serial Port)"}));
}

TEST(SelectCandidatePorts, ADuplicateNumberMatchesOncePerPair) {
    serial::PortLists lists;
    lists.EnumeratedPorts = {2, 5, 5};
    lists.OpenablePorts = {5, 5, 9};
    serial::SelectCandidatePorts(lists);
    EXPECT_EQ(lists.CandidatePorts, (std::vector<int>{5, 5, 5, 5}));
}

}  // namespace
