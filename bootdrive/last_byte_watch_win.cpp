#include "bootdrive/last_byte_watch_win.h"

#include <chrono>
#include <system_error>

#include "bootdrive/Copyfilethread.h"

namespace bootdrive {

std::optional<FileStamp> StampOf(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return std::nullopt;
    return FileStamp{data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime.dwHighDateTime,
                     data.ftLastWriteTime.dwLowDateTime};
}

uint64_t BytesOf(const FileStamp& stamp) { return (uint64_t{std::get<0>(stamp)} << 32) | std::get<1>(stamp); }

LastByteWatch::LastByteWatch(const char* target, uint64_t imageBytes, std::optional<FileStamp> before,
                             CopyProgressData& progress)
    : target_(target), imageBytes_(imageBytes), progress_(progress) {
    try {
        thread_ = std::thread([this, before] { run(before); });
    } catch (const std::system_error&) {
        // No thread: the routine's word alone tells the last byte.
    }
}

LastByteWatch::~LastByteWatch() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void LastByteWatch::run(std::optional<FileStamp> before) {
    // An old file of the image's size that the copy has not yet replaced
    // is no sign: only a file that is new, or was seen changed, counts.
    bool changed = !before;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return ended_; })) {
        if (progress_.called.load()) return;
        const auto now = StampOf(target_);
        if (now != before) changed = true;
        if (changed && now && BytesOf(*now) == imageBytes_) {
            progress_.everyByteSeen = true;
            MarkCopySettling();
            return;
        }
    }
}

}  // namespace bootdrive
