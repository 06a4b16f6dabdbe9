// The transponder's boot drive, played by a folder.
#pragma once

#include <string>

namespace sim {

class BootDrive {
public:
    // `link`, when given, is the drive letter's dosdevices link to `dir`.
    BootDrive(std::string dir, std::string link, bool verbose)
        : dir_(std::move(dir)), link_(std::move(link)), verbose_(verbose) {}
    bool present() const { return !dir_.empty(); }
    // Makes the folder and its volume label file; removes an old ready file.
    bool prepare(const std::string& label, std::string& error);
    // The device entered its boot loader and can take an image.
    void makeReady();
    bool hasImage() const;
    // The drive breaks off: its files go and, with `fill`, its space too.
    void vanish(bool fill);
    // Size of AIS_Firmware.S19 in bytes; -1 when there is none.
    long long imageSize() const;
    // The device restarts from its boot loader, which took the image: the
    // ready file and the image leave the folder; the folder and its label
    // stay. With `expected`, standard error says whether the image held
    // the same bytes as that file.
    void restart(const std::string& expected);
    // The drive leaves the system: its link goes if it still points to the
    // folder (one already gone, or pointing elsewhere, is left as it is).
    // Nothing without a link.
    void unplug();
    // The drive comes: its link to the folder is made (again).
    void plugIn();

private:
    std::string path(const char* name) const { return dir_ + "/" + name; }
    std::string dir_;
    std::string link_;
    bool verbose_;
};

// Watches the drive folder for the opens and closes of AIS_Firmware.S19
// (inotify), to tell when a writer is done with it: a copy closes it, and
// a reopen to flush it opens and closes it again. inotify reports one open
// and one close per open file description, whichever processes share it
// (as the Wine server and its client do), so their difference is the
// number still open.
class ImageWatch {
public:
    ImageWatch() = default;
    ~ImageWatch();
    ImageWatch(const ImageWatch&) = delete;
    ImageWatch& operator=(const ImageWatch&) = delete;

    bool start(const std::string& dir, std::string& error);
    int fd() const { return fd_; }
    // Takes the pending events; true when one was about the image.
    bool take();
    // Closed after a write since the last forgetWrites(), or moved in.
    bool written() const { return written_; }
    bool isOpen() const { return opens_ > 0; }
    void forgetWrites() { written_ = false; }

private:
    int fd_ = -1;
    int opens_ = 0;
    bool written_ = false;
};

}  // namespace sim
