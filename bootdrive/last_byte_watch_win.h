// The copy's last byte, seen where CopyFileExA reports no progress.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>

#include "bootdrive/file_copier_win.h"

namespace bootdrive {

// What tells a file's content changed: its size and last write time.
using FileStamp = std::tuple<DWORD, DWORD, DWORD, DWORD>;
std::optional<FileStamp> StampOf(const char* path);
uint64_t BytesOf(const FileStamp& stamp);

// While a copy runs, sees its last byte out where Windows never calls the
// progress routine (Wine's CopyFileExA does not; Windows' calls it before
// the first byte, so that the watch ends at its first look without
// touching the drive): once the new file has the image's size and is not
// the file that stood there before the copy, the copy's every byte is
// out. It then notes that in the copy's progress and marks the copy
// settling, as the routine would. Looks every 250 ms, on one thread for
// all the copies of its owner: started with the first watch, it waits
// between copies, so that a copy pays no thread of its own. Without a
// thread it does nothing.
class LastByteWatcher {
public:
    LastByteWatcher() = default;
    ~LastByteWatcher();
    LastByteWatcher(const LastByteWatcher&) = delete;
    LastByteWatcher& operator=(const LastByteWatcher&) = delete;

    // Watches one copy, until end().
    void begin(const char* target, uint64_t imageBytes, std::optional<FileStamp> before, CopyProgressData& progress);
    // Returns once the copy is no longer looked at.
    void end();

private:
    struct Copy {
        const char* target;
        uint64_t imageBytes;
        std::optional<FileStamp> before;
        CopyProgressData* progress;
        unsigned number;
        bool changed;
    };
    void run();
    void look(Copy& copy);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Copy> copy_;
    unsigned copies_ = 0;
    bool ended_ = false;
    bool noThread_ = false;
    std::thread thread_;
};

// Watches one copy for as long as it lives (the copy's call).
class LastByteWatch {
public:
    LastByteWatch(LastByteWatcher& watcher, const char* target, uint64_t imageBytes,
                  std::optional<FileStamp> before, CopyProgressData& progress)
        : watcher_(watcher) {
        watcher.begin(target, imageBytes, before, progress);
    }
    ~LastByteWatch() { watcher_.end(); }
    LastByteWatch(const LastByteWatch&) = delete;
    LastByteWatch& operator=(const LastByteWatch&) = delete;

private:
    LastByteWatcher& watcher_;
};

}  // namespace bootdrive
