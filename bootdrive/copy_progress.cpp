#include "bootdrive/copy_progress.h"

#include "bootdrive/Copyfilethread.h"

namespace bootdrive {

int32_t CopyProgressFromTotals(uint64_t totalFileSize, uint64_t totalBytesTransferred) {
    const uint32_t total = static_cast<uint32_t>(totalFileSize);
    const uint32_t done = static_cast<uint32_t>(totalBytesTransferred);
    const uint32_t hundredth = total / 100;
    uint64_t percent = 0;
    if (hundredth != 0) {
        percent = done / hundredth;
    } else if (total != 0) {
        percent = static_cast<uint64_t>(done) * 100 / total;
    }
    if (percent > static_cast<uint64_t>(kCopyRunningMaxPercent)) return kCopyRunningMaxPercent;
    return static_cast<int32_t>(percent);
}

void PublishCopyProgress(uint64_t totalFileSize, uint64_t totalBytesTransferred) {
    CopyProgressPercent.store(CopyProgressFromTotals(totalFileSize, totalBytesTransferred),
                              std::memory_order_relaxed);
}

}  // namespace bootdrive
