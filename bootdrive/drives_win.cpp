// Placeholder until boot drive recognition lands.
#include "bootdrive/Copyfilethread.h"
#include "bootdrive/drive_system.h"

namespace bootdrive {
namespace {
class NoDrives final : public DriveSystem {
public:
    unsigned driveType(char) override { return 1; }
    bool volumeLabel(char, std::string&) override { return false; }
    bool rootTxtNames(char, std::vector<std::string>&) override { return false; }
};
class NoCopy final : public FileCopier {
public:
    bool copyFile(const char*, const char*) override { return false; }
    void nameThisThread(const char*) override {}
};
}  // namespace
std::unique_ptr<DriveSystem> makeSystemDrives() { return std::make_unique<NoDrives>(); }
std::unique_ptr<FileCopier> makeSystemFileCopier() { return std::make_unique<NoCopy>(); }
}  // namespace bootdrive
