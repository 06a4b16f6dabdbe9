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

LastByteWatcher::~LastByteWatcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void LastByteWatcher::begin(const char* target, uint64_t imageBytes, std::optional<FileStamp> before,
                            CopyProgressData& progress) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable() && !noThread_) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread: the routine's word alone tells the last byte.
            noThread_ = true;
            return;
        }
    }
    // An old file of the image's size that the copy has not yet replaced
    // is no sign: only a file that is new, or was seen changed, counts.
    copy_ = Copy{target, imageBytes, before, &progress, ++copies_, !before};
    wake_.notify_one();
}

void LastByteWatcher::end() {
    std::lock_guard<std::mutex> lock(mutex_);
    copy_.reset();
}

void LastByteWatcher::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ended_ || copy_; });
        if (ended_) return;
        // The first look 250 ms into the copy, and every 250 ms on, while
        // the same copy runs.
        const unsigned number = copy_->number;
        const auto moved = [this, number] { return ended_ || !copy_ || copy_->number != number; };
        if (!wake_.wait_for(lock, std::chrono::milliseconds(250), moved)) look(*copy_);
    }
}

void LastByteWatcher::look(Copy& copy) {
    if (copy.progress->called.load()) {
        copy_.reset();
        return;
    }
    const auto now = StampOf(copy.target);
    if (now != copy.before) copy.changed = true;
    if (copy.changed && now && BytesOf(*now) == copy.imageBytes) {
        copy.progress->everyByteSeen = true;
        MarkCopySettling();
        copy_.reset();
    }
}

}  // namespace bootdrive
