// The transponder's boot drive, played by a folder.
#pragma once

#include <string>

namespace sim {

class BootDrive {
public:
    BootDrive(std::string dir, bool verbose) : dir_(std::move(dir)), verbose_(verbose) {}
    bool present() const { return !dir_.empty(); }
    // Makes the folder and its volume label file; removes an old ready file.
    bool prepare(const std::string& label, std::string& error);
    // The device entered its boot loader and can take an image.
    void makeReady();
    bool hasImage() const;
    // The drive breaks off: its files go and, with `fill`, its space too.
    void vanish(bool fill);

private:
    std::string path(const char* name) const { return dir_ + "/" + name; }
    std::string dir_;
    bool verbose_;
};

}  // namespace sim
