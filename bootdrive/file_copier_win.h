// The Windows side of the copy worker: the progress routine handed to
// CopyFileExA and the debugger name of the calling thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "bootdrive/copy_end.h"
#include "bootdrive/drive_system.h"

namespace bootdrive {

// What the progress routine of one copy is given, and what it saw (also
// read by the copy's LastByteWatch, on its own thread).
struct CopyProgressData {
    const std::atomic<bool>* stop = nullptr;  // set: the copy is to stop
    std::atomic<bool> called{false};          // Windows has called the routine for this copy
    std::atomic<bool> everyByteSeen{false};   // the data stream went out whole
};

// Progress routine of CopyFileExA: publishes the percentage done from the
// first two totals and lets the copy go on (PROGRESS_CONTINUE), unless
// `data` points to a CopyProgressData whose stop flag is set: then the copy
// is to stop (PROGRESS_CANCEL). It notes there when every byte of the data
// stream (stream 1) went out, from that stream's own counts, and marks the
// copy settling from then on (MarkCopySettling): what is left, the close
// that makes the file whole, is the drive's to take at its own pace.
DWORD CALLBACK ReportCopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                  LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred,
                                  DWORD streamNumber, DWORD callbackReason, HANDLE sourceFile,
                                  HANDLE destinationFile, LPVOID data);

// Makes sure a file that CopyFileExA reported whole is on the device
// itself, and decides how the copy ended (bootdrive/copy_end.h): takes
// away a read-only attribute the copy carried over (the others stay),
// reopens the file for writing beside any reader or writer, has Windows
// write out what it still holds in its cache (FlushFileBuffers, which also
// makes the device flush its own), and reads its size. A reopen or flush
// that another program refuses is tried again for kHeldRetryLimitMs; where
// RootDecides the handle is closed and the drive watched (WatchDrive) for
// `watchMs`. It deletes nothing.
CopyEndVerdict SettleCopiedFile(const char* path, uint64_t imageBytes, DriveSystem& drives,
                                int watchMs = kRootWatchLimitMs);

// Where RootDecides for a copy to `path`: watches its drive until its
// volume goes (VolumeGone), for at most `watchMs`, and notes in `facts`
// whether and how it went. Nothing on the drive is opened meanwhile.
void WatchDrive(const char* path, DriveSystem& drives, int watchMs, CopyEndFacts& facts);

// Names the calling thread for debuggers: SetThreadDescription where the
// system has it, and the exception 0x406D1388 that debuggers read, swallowed
// by a vectored handler so that it is harmless without a debugger.
void NameCurrentThreadForDebuggers(const char* name);

}  // namespace bootdrive
