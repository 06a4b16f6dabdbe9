// The Windows side of the copy worker: the progress routine handed to
// CopyFileExA and the debugger name of the calling thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace bootdrive {

// Progress routine of CopyFileExA: publishes the percentage done from the
// first two totals and lets the copy go on (PROGRESS_CONTINUE), unless
// `data` points to a std::atomic<bool> that is set: then the copy is to
// stop (PROGRESS_CANCEL).
DWORD CALLBACK ReportCopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                  LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred,
                                  DWORD streamNumber, DWORD callbackReason, HANDLE sourceFile,
                                  HANDLE destinationFile, LPVOID stop);

// How a file that CopyFileExA reported whole stands on the device.
struct SettledCopy {
    // The copy failed after all: the file is there with another size
    // (ERROR_FILE_INVALID), or it is there and cannot be written through.
    DWORD error = ERROR_SUCCESS;
    // Delivered but not confirmed: what stood in the way (the drive went,
    // another program holds the file), for the log. Empty when confirmed.
    std::string unconfirmed;
};

// Makes sure a copied file is on the device itself: takes away a read-only
// attribute the copy carried over (the others stay), reopens it for
// writing beside any reader or writer, has Windows write out what it still
// holds in its cache (FlushFileBuffers, which also makes the device flush
// its own), and checks that the file has the image's size.
SettledCopy SettleCopiedFile(const char* path, uint64_t expectedBytes);

// Names the calling thread for debuggers: SetThreadDescription where the
// system has it, and the exception 0x406D1388 that debuggers read, swallowed
// by a vectored handler so that it is harmless without a debugger.
void NameCurrentThreadForDebuggers(const char* name);

}  // namespace bootdrive
