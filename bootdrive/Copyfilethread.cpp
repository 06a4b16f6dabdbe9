#include "bootdrive/Copyfilethread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "bootdrive/copy_progress.h"
#include "bootdrive/drive_paths.h"

namespace bootdrive {

char FirmwareImagePath[256];
char FirmwareTargetPath[256];
std::atomic<int32_t> CopyProgressPercent{0};
std::atomic<int64_t> CopySettlingSince{0};

namespace {
std::atomic<int> liveWorkerThreads{0};

int64_t SteadyMilliseconds(std::chrono::steady_clock::time_point at) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
}
}  // namespace

void MarkCopySettling() {
    int64_t unmarked = 0;
    CopySettlingSince.compare_exchange_strong(
        unmarked, std::max<int64_t>(1, SteadyMilliseconds(std::chrono::steady_clock::now())),
        std::memory_order_relaxed);
}

// Shared by the window's handle and the thread, so that either may go first.
struct CopyFileThread::State {
    explicit State(FileCopier& c) : copier(&c) {}

    FileCopier* copier;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> stop{false};  // the copy under way is to end early
    bool waiting = true;  // created waiting: the first Resume() always counts
    bool woken = false;
    bool ended = false;
    // The paths of the copy under way, taken when it was started: the window
    // may name another drive for a later copy while this one begins.
    char from[kPathBufferSize] = {};
    char to[kPathBufferSize] = {};
    std::string lastTarget;  // of the copy under way or the last one
    std::optional<CopyRecord> lastCopy;
};

void LaunchDetachedThread(std::function<void()> body) { std::thread(std::move(body)).detach(); }

CopyFileThread::CopyFileThread(FileCopier& copier, const WorkerLauncher& launch)
    : state_(std::make_shared<State>(copier)) {
    liveWorkerThreads.fetch_add(1);
    try {
        launch([state = state_]() mutable { RunWorker(std::move(state)); });
    } catch (...) {
        liveWorkerThreads.fetch_sub(1);
        throw;
    }
}

CopyFileThread::~CopyFileThread() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->ended = true;
    }
    state_->wake.notify_one();
}

bool CopyFileThread::Resume() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (!state_->waiting || state_->ended) return false;
        state_->waiting = false;
        state_->woken = true;
        state_->stop = false;
        state_->lastCopy.reset();
        CopyPath(state_->from, FirmwareImagePath);
        CopyPath(state_->to, FirmwareTargetPath);
        state_->lastTarget = state_->to;
    }
    state_->wake.notify_one();
    return true;
}

bool CopyFileThread::IsWaiting() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->waiting;
}

std::string CopyFileThread::LastTarget() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->lastTarget;
}

void CopyFileThread::RequestStop() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!state_->waiting) state_->stop = true;
}

std::optional<CopyFileThread::CopyRecord> CopyFileThread::lastCopy() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->lastCopy;
}

int CopyFileThread::LiveWorkerThreads() { return liveWorkerThreads.load(); }

void CopyFileThread::RunWorker(std::shared_ptr<State> state) {
    bool named = false;
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->woken || state->ended; });
        if (state->ended) break;
        state->woken = false;
        // The paths the window gave when it woke the worker.
        char from[kPathBufferSize];
        char to[kPathBufferSize];
        CopyPath(from, state->from);
        CopyPath(to, state->to);
        FileCopier& copier = *state->copier;
        lock.unlock();

        if (!named) {
            copier.nameThisThread(kCopyThreadName);
            named = true;
        }
        const auto started = std::chrono::steady_clock::now();
        CopyRecord record{copier.copyFile(from, to, state->stop), 0, std::nullopt};
        const auto returned = std::chrono::steady_clock::now();
        record.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(returned - started).count();
        const int64_t settling = CopySettlingSince.exchange(0, std::memory_order_relaxed);
        if (settling != 0) record.settledMilliseconds = SteadyMilliseconds(returned) - settling;
        const bool whole = record.result.error == 0;

        // The record is there before 100 is: whoever sees 100 reads how
        // the copy ended. The worker counts as waiting only after both, so
        // that no new copy's 0 is overwritten by this one's 100.
        lock.lock();
        state->lastCopy = std::move(record);
        if (whole) {
            lock.unlock();
            CopyProgressPercent.store(kCopyCompletePercent, std::memory_order_relaxed);
            lock.lock();
        }
        state->waiting = true;
    }
    lock.unlock();
    state.reset();
    liveWorkerThreads.fetch_sub(1);
}

}  // namespace bootdrive
