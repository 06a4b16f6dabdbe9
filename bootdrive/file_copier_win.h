// The Windows side of the copy worker: the progress routine handed to
// CopyFileExA and the debugger name of the calling thread.
#pragma once

#include <windows.h>

namespace bootdrive {

// Progress routine of CopyFileExA: publishes the percentage done from the
// first two totals and lets the copy go on (PROGRESS_CONTINUE), unless
// `data` points to a std::atomic<bool> that is set: then the copy is to
// stop (PROGRESS_CANCEL).
DWORD CALLBACK ReportCopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                  LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred,
                                  DWORD streamNumber, DWORD callbackReason, HANDLE sourceFile,
                                  HANDLE destinationFile, LPVOID stop);

// Names the calling thread for debuggers: SetThreadDescription where the
// system has it, and the exception 0x406D1388 that debuggers read, swallowed
// by a vectored handler so that it is harmless without a debugger.
void NameCurrentThreadForDebuggers(const char* name);

}  // namespace bootdrive
