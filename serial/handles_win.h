// Owners of the Win32 handles of the serial link.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <utility>

namespace serial {

// A kernel handle (file, port); INVALID_HANDLE_VALUE and null are "none".
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, INVALID_HANDLE_VALUE)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }
    void reset() {
        if (valid()) CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// A device information set of SetupAPI.
class DeviceInfoList {
public:
    explicit DeviceInfoList(HDEVINFO h) : h_(h) {}
    ~DeviceInfoList() {
        if (valid()) SetupDiDestroyDeviceInfoList(h_);
    }
    DeviceInfoList(DeviceInfoList&& o) noexcept : h_(std::exchange(o.h_, INVALID_HANDLE_VALUE)) {}
    DeviceInfoList& operator=(DeviceInfoList&&) = delete;
    DeviceInfoList(const DeviceInfoList&) = delete;
    DeviceInfoList& operator=(const DeviceInfoList&) = delete;

    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return h_; }

private:
    HDEVINFO h_;
};

}  // namespace serial
