#include "serial/call_in_driver_win.h"

#include "serial/comm_port_win.h"

namespace serial {

CallInDriver::CallInDriver(std::shared_ptr<PortCall> call) : call_(std::move(call)) {
    if (!call_) return;
    stopped_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    thread_.reset(OpenThread(THREAD_TERMINATE, FALSE, GetCurrentThreadId()));
    call_->whileInDriver([this] { cancel(); });
}

CallInDriver::~CallInDriver() {
    if (call_) call_->whileInDriver(nullptr);
}

void CallInDriver::cancel() {
    if (stopped_.valid()) SetEvent(stopped_.get());
    // An open cannot be overlapped. A cancel that comes before the open
    // reached its driver finds nothing: it is tried again a few times.
    for (int tries = 0; tries < 20 && opening_.load() && thread_.valid(); ++tries) {
        if (CancelSynchronousIo(thread_.get()) || GetLastError() != ERROR_NOT_FOUND) break;
        SwitchToThread();
    }
}

bool CallInDriver::stopped() const {
    return stopped_.valid() && WaitForSingleObject(stopped_.get(), 0) == WAIT_OBJECT_0;
}

UniqueHandle CallInDriver::open(int port) {
    if (stopped()) {
        SetLastError(ERROR_OPERATION_ABORTED);
        return UniqueHandle();
    }
    opening_ = true;
    UniqueHandle handle = OpenComPort(port);
    const DWORD error = GetLastError();
    opening_ = false;
    if (handle.valid() && stopped()) handle.reset();  // given up while it opened
    SetLastError(handle.valid() ? ERROR_SUCCESS : stopped() ? ERROR_OPERATION_ABORTED : error);
    return handle;
}

bool CallInDriver::transfer(HANDLE port, bool write, char* data, DWORD size, DWORD& done) {
    done = 0;
    if (stopped()) {
        SetLastError(ERROR_OPERATION_ABORTED);
        return false;
    }
    const UniqueHandle ended(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = ended.get();
    const BOOL begun = write ? WriteFile(port, data, size, nullptr, &overlapped)
                             : ReadFile(port, data, size, nullptr, &overlapped);
    if (!begun && GetLastError() != ERROR_IO_PENDING) return false;
    if (!begun) {
        const HANDLE either[] = {ended.get(), stopped_.get()};
        const DWORD count = stopped_.valid() ? 2 : 1;
        if (WaitForMultipleObjects(count, either, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
            CancelIoEx(port, &overlapped);
    }
    // Waits for the driver to end the transfer, also a cancelled one.
    return GetOverlappedResult(port, &overlapped, &done, TRUE) != FALSE;
}

}  // namespace serial
