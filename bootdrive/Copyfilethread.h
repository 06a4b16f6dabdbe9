// The firmware copy worker: one thread that copies the image onto the boot
// drive each time it is woken, and publishes the copy's progress.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace bootdrive {

// Source and target of the copy: 255 characters and the terminating zero.
extern char FirmwareImagePath[256];
extern char FirmwareTargetPath[256];

// Progress of the copy in percent, shared by the worker and the control
// timer (relaxed 32-bit accesses).
extern std::atomic<int32_t> CopyProgressPercent;

// One file copy as the worker runs it.
class FileCopier {
public:
    virtual ~FileCopier() = default;
    // Copies `from` onto `to`, replacing it, reporting into
    // CopyProgressPercent on the way. True on success.
    virtual bool copyFile(const char* from, const char* to) = 0;
    // Gives the calling thread a name for debuggers.
    virtual void nameThisThread(const char* name) = 0;
};

class CopyFileThread {
public:
    // Created waiting; nothing is copied before the first Resume().
    explicit CopyFileThread(FileCopier& copier);
    ~CopyFileThread();
    CopyFileThread(const CopyFileThread&) = delete;
    CopyFileThread& operator=(const CopyFileThread&) = delete;

    // Wakes the worker for one copy; lost while it is not waiting.
    void Resume();

private:
    struct State;
    std::shared_ptr<State> state_;
};

// CopyFileExA with the progress routine (bootdrive/*_win.cpp).
std::unique_ptr<FileCopier> makeSystemFileCopier();

}  // namespace bootdrive
