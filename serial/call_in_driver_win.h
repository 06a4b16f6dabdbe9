// The Windows side of a port call that another thread can give up
// (serial/port_call.h): the open is cancelled with CancelSynchronousIo on
// the calling thread, a write or read (overlapped) with CancelIoEx, and a
// step not yet begun is not made.
#pragma once

#include <atomic>
#include <memory>

#include "serial/handles_win.h"
#include "serial/port_call.h"

namespace serial {

class CallInDriver {
public:
    // For the call given up through `call` (none: it is never given up).
    explicit CallInDriver(std::shared_ptr<PortCall> call);
    ~CallInDriver();
    CallInDriver(const CallInDriver&) = delete;
    CallInDriver& operator=(const CallInDriver&) = delete;

    bool stopped() const;
    // OpenComPort, unless the call was given up: then, or when the open was
    // cancelled, no handle, and GetLastError() gives ERROR_OPERATION_ABORTED.
    UniqueHandle open(int port);
    // One WriteFile or ReadFile on `port` (opened overlapped) that waits for
    // its end or for the call to be given up, which cancels it and waits
    // for the driver to end it. False when it failed: GetLastError() tells.
    bool transfer(HANDLE port, bool write, char* data, DWORD size, DWORD& done);

private:
    void cancel();
    std::shared_ptr<PortCall> call_;
    UniqueHandle stopped_;  // manual-reset event, set when the call is given up
    UniqueHandle thread_;   // this thread, for CancelSynchronousIo
    std::atomic<bool> opening_{false};
};

}  // namespace serial
