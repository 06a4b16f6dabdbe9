// The firmware copy worker: one thread that copies the image onto the boot
// drive each time it is woken, and publishes the copy's progress.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "bootdrive/copy_end.h"

namespace bootdrive {

// Source and target of the copy: 255 characters and the terminating zero.
extern char FirmwareImagePath[256];
extern char FirmwareTargetPath[256];

// Progress of the copy in percent, shared by the worker and the control
// timer (relaxed 32-bit accesses). Below 100 while a copy runs; 100 once a
// copy has returned success; a failed copy leaves it where it stood.
extern std::atomic<int32_t> CopyProgressPercent;

// Where the copy under way began to settle, in milliseconds of the steady
// clock (never 0), or 0 while it copies and between copies. Settling, its
// every byte is out: the drive takes them (the close that makes the file
// whole, Windows' cache written out), and the copier makes sure of the
// file: the reopen, the flush, the retries while another program holds it,
// the watch of the drive. That may take minutes with no progress to show
// on a slow boot loader, or hang with a USB driver. The copier marks it
// once the last byte is seen (MarkCopySettling: the first mark of a copy
// stands); the worker clears it when the copy returns, before it tells how
// the copy ended.
extern std::atomic<int64_t> CopySettlingSince;
void MarkCopySettling();

// The name debuggers show for the worker thread.
inline constexpr const char* kCopyThreadName = "CopyFileThread";

// How one copy ended.
struct CopyResult {
    uint32_t error = 0;             // 0: the whole file was copied; otherwise the Windows error that ended it
    std::string reason;             // that error in the system's own words (FormatMessage), for the user
    bool cutTargetRemoved = false;  // a target the failed copy had begun to write was deleted again
    // A whole copy that could not be confirmed on the device afterwards
    // (its drive went as the copy ended, another program held the new
    // file): what stood in the way, for the log. Empty when the file was
    // written through and measured, and for a failed copy.
    std::string unconfirmed;
    // A failed copy: what happened in plain words, for the box after
    // Windows' own reason; empty where that says it plainly. With error
    // kErrorWrongSize Windows reported nothing, and these are the only
    // words.
    std::string fault;
    // For the log: how the copy's end was decided, and why.
    std::string why;
};

// One file copy as the worker runs it.
class FileCopier {
public:
    virtual ~FileCopier() = default;
    // Copies `from` onto `to`, replacing it, reporting into
    // CopyProgressPercent on the way. When the copy fails, a target that it
    // created or began to overwrite is deleted again, so that no cut image
    // is left for a boot loader to take; a target it never touched (an old
    // file it could not replace) stays as it was. A copy that Windows
    // reported whole, or whose drive may have gone once every byte was
    // out, is judged by DecideCopyEnd (bootdrive/copy_end.h): delivered,
    // the file staying, or failed; it marks the copy settling meanwhile
    // (MarkCopySettling). Once `stop` is set the copy ends early, failing
    // with ERROR_REQUEST_ABORTED (1235).
    virtual CopyResult copyFile(const char* from, const char* to, const std::atomic<bool>& stop) = 0;
    // Gives the calling thread a name for debuggers.
    virtual void nameThisThread(const char* name) = 0;
};

// Starts a thread that runs `body`, detached from its starter; throws
// (std::system_error) when the system refuses the thread.
using WorkerLauncher = std::function<void(std::function<void()> body)>;
void LaunchDetachedThread(std::function<void()> body);

class CopyFileThread {
public:
    // Created waiting; nothing is copied before the first Resume().
    // `copier` must outlive every copy this worker runs. Throws what
    // `launch` throws when the thread cannot be created.
    explicit CopyFileThread(FileCopier& copier, const WorkerLauncher& launch = LaunchDetachedThread);
    // Never waits for a running copy: a waiting worker is told to end, a
    // copying one is left to finish (or to end with the process) and then
    // ends without copying again.
    ~CopyFileThread();
    CopyFileThread(const CopyFileThread&) = delete;
    CopyFileThread& operator=(const CopyFileThread&) = delete;

    // Wakes the worker for one copy. False, and nothing happens, while a
    // copy is still under way (or the worker has ended): that copy goes on.
    bool Resume();

    // True while the worker waits for a wake-up.
    bool IsWaiting() const;

    // The target of the copy under way, or of the last one; empty before
    // the first.
    std::string LastTarget() const;

    // Asks a copy under way to stop and returns at once: the progress
    // routine cancels it the next time Windows calls it, and its cut target
    // is deleted as for any failed copy. Nothing happens while the worker
    // waits. IsWaiting() tells when the copy has ended.
    void RequestStop();

    // How the last copy ended and how long it took; none while a copy
    // runs and before the first. A counted wake-up forgets the one before.
    struct CopyRecord {
        CopyResult result;
        int64_t milliseconds = 0;
        std::optional<int64_t> settledMilliseconds;  // of them, settling; none when it never settled
    };
    std::optional<CopyRecord> lastCopy() const;

    // Worker threads of this process whose bodies have not yet returned.
    static int LiveWorkerThreads();

private:
    struct State;
    static void RunWorker(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

// CopyFileExA with the progress routine (bootdrive/*_win.cpp).
std::unique_ptr<FileCopier> makeSystemFileCopier();

}  // namespace bootdrive
