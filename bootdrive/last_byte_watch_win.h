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
// the first byte, so that this watch ends at its first look without
// touching the drive): once the new file has the image's size and is not
// the file that stood there before the copy, the copy's every byte is
// out. It then notes that in `progress` and marks the copy settling, as
// the routine would. Looks every 250 ms on a thread of its own; ends when
// destroyed (after the copy has returned) or when the routine is called.
// Without a thread it does nothing.
class LastByteWatch {
public:
    LastByteWatch(const char* target, uint64_t imageBytes, std::optional<FileStamp> before,
                  CopyProgressData& progress);
    ~LastByteWatch();
    LastByteWatch(const LastByteWatch&) = delete;
    LastByteWatch& operator=(const LastByteWatch&) = delete;

private:
    void run(std::optional<FileStamp> before);

    const char* target_;
    uint64_t imageBytes_;
    CopyProgressData& progress_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ended_ = false;
    std::thread thread_;
};

}  // namespace bootdrive
