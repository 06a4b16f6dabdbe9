#include "serial/pending_read_win.h"

#include <utility>

namespace serial {

PendingReadWin::PendingReadWin(std::shared_ptr<PortCall> call, UniqueHandle port, Exchanged sent, std::size_t readMax)
    : call_(std::move(call)), port_(std::move(port)), sent_(sent) {
    event_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (event_.valid() && readMax > 0 && !(call_ && call_->stopped())) {
        buffer_.resize(readMax);
        overlapped_.hEvent = event_.get();
        const BOOL done = ReadFile(port_.get(), buffer_.data(), static_cast<DWORD>(readMax), nullptr, &overlapped_);
        reading_ = done || GetLastError() == ERROR_IO_PENDING;
    }
    if (reading_ && call_) {
        const HANDLE handle = port_.get();
        OVERLAPPED* overlapped = &overlapped_;
        call_->whileInDriver([handle, overlapped] { CancelIoEx(handle, overlapped); });
    }
    if (!reading_ && event_.valid()) SetEvent(event_.get());
}

PendingReadWin::~PendingReadWin() { finish(true); }

// Only the event is looked at: another thread may be ending the read.
bool PendingReadWin::ended() { return !event_.valid() || WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0; }

// The worker that began the read waits here: under Wine the read's end
// comes through the thread that began it.
void PendingReadWin::awaitEnd(std::chrono::milliseconds most) {
    if (event_.valid()) WaitForSingleObject(event_.get(), static_cast<DWORD>(most.count()));
}

Exchanged PendingReadWin::end(std::string& in) {
    finish(false);
    in.assign(buffer_.data(), got_);
    return sent_;
}

void PendingReadWin::finish(bool cancel) {
    if (reading_) {
        if (cancel && !ended()) CancelIoEx(port_.get(), &overlapped_);
        // Waits for the driver to end the read, also a cancelled one.
        if (!GetOverlappedResult(port_.get(), &overlapped_, &got_, TRUE)) got_ = 0;
        reading_ = false;
        if (call_) call_->whileInDriver(nullptr);
    }
    port_.reset();
}

}  // namespace serial
