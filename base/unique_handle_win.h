// One move-only owner for every kind of Win32 handle the program keeps:
// each kind names its "none" value and how it is released.
#pragma once

#include <windows.h>

#include "base/setup_api_win.h"

#include <utility>

namespace win {

template <typename Kind>
class UniqueHandle {
public:
    using Handle = typename Kind::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return h_; }
    bool valid() const { return Kind::valid(h_); }
    explicit operator bool() const { return valid(); }
    // Gives up ownership without releasing.
    Handle release() { return std::exchange(h_, Kind::none()); }
    void reset(Handle h = Kind::none()) {
        if (valid()) Kind::close(h_);
        h_ = h;
    }

private:
    Handle h_ = Kind::none();
};

// Files, ports, tokens: null and INVALID_HANDLE_VALUE both mean none.
struct KernelObject {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};

struct RegistryKey {
    using Handle = HKEY;
    static Handle none() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { RegCloseKey(h); }
};

struct DeviceInfoSet {
    using Handle = HDEVINFO;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(Handle h) { setupapi::DestroyDeviceInfoList(h); }
};

struct DirectorySearch {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(Handle h) { FindClose(h); }
};

template <typename H>
struct GdiObject {
    using Handle = H;
    static Handle none() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { DeleteObject(h); }
};

struct MemoryDeviceContext {
    using Handle = HDC;
    static Handle none() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { DeleteDC(h); }
};

// The screen's device context (GetDC(nullptr)).
struct ScreenDeviceContext {
    using Handle = HDC;
    static Handle none() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ReleaseDC(nullptr, h); }
};

using KernelHandle = UniqueHandle<KernelObject>;
using RegKeyHandle = UniqueHandle<RegistryKey>;
using DeviceInfoList = UniqueHandle<DeviceInfoSet>;
using FindHandle = UniqueHandle<DirectorySearch>;
using ScreenDc = UniqueHandle<ScreenDeviceContext>;

}  // namespace win
