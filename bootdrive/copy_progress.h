// The copy's progress in percent, as the worker publishes it.
#pragma once

#include <cstdint>

namespace bootdrive {

// The value that means the copy has completed; only the worker publishes it,
// and only after the copy returned success.
inline constexpr int32_t kCopyCompletePercent = 100;
// The highest value published while bytes may still be in flight.
inline constexpr int32_t kCopyRunningMaxPercent = 99;

// Percent of the copy done from the running totals the system reports.
// Only the low 32 bits of each total count. The value is truncated: the
// transferred bytes divided by a hundredth of the file size (for files under
// 100 bytes, the bytes times 100 divided by the size), and held at 99 so
// that it never signals completion while the copy still runs.
int32_t CopyProgressFromTotals(uint64_t totalFileSize, uint64_t totalBytesTransferred);

// Stores CopyProgressFromTotals(...) in CopyProgressPercent (one relaxed
// store; no lock, no allocation).
void PublishCopyProgress(uint64_t totalFileSize, uint64_t totalBytesTransferred);

}  // namespace bootdrive
