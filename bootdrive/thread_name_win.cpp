#include <string>

#include "base/system_dll_win.h"
#include "bootdrive/file_copier_win.h"

namespace bootdrive {

namespace {

constexpr DWORD kSetThreadNameException = 0x406D1388;

// The record debuggers read from the exception's arguments.
#pragma pack(push, 8)
struct ThreadNameInfo {
    DWORD type;      // 0x1000
    LPCSTR name;     // the name text
    DWORD threadId;  // 0xFFFFFFFF: the calling thread
    DWORD flags;     // 0
};
#pragma pack(pop)

LONG CALLBACK SwallowThreadNameException(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode == kSetThreadNameException) {
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Owns one registration of a vectored exception handler, called after the
// handlers already registered: any of them sees the record first, ours only
// keeps it from going further.
class VectoredHandler {
public:
    explicit VectoredHandler(PVECTORED_EXCEPTION_HANDLER handler)
        : cookie_(AddVectoredExceptionHandler(0, handler)) {}
    ~VectoredHandler() {
        if (cookie_ != nullptr) RemoveVectoredExceptionHandler(cookie_);
    }
    VectoredHandler(VectoredHandler&& other) noexcept : cookie_(other.cookie_) { other.cookie_ = nullptr; }
    VectoredHandler& operator=(VectoredHandler&&) = delete;
    VectoredHandler(const VectoredHandler&) = delete;
    VectoredHandler& operator=(const VectoredHandler&) = delete;
    bool installed() const { return cookie_ != nullptr; }

private:
    PVOID cookie_;
};

void SetDescriptionIfAvailable(const char* name) {
    using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const auto setDescription = win::LoadedFunction<SetThreadDescriptionFn>(L"kernel32.dll", "SetThreadDescription");
    if (setDescription == nullptr) return;
    std::wstring wide;
    for (const char* c = name; *c != '\0'; ++c) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
    setDescription(GetCurrentThread(), wide.c_str());
}

void RaiseThreadNameException(const char* name) {
    VectoredHandler handler(SwallowThreadNameException);
    // Without the handler nothing would catch the exception, so it is raised
    // only while the handler is in place.
    if (!handler.installed()) return;
    ThreadNameInfo info{0x1000, name, 0xFFFFFFFF, 0};
    RaiseException(kSetThreadNameException, 0, sizeof(info) / sizeof(ULONG_PTR),
                   reinterpret_cast<const ULONG_PTR*>(&info));
}

}  // namespace

void NameCurrentThreadForDebuggers(const char* name) {
    if (name == nullptr) return;
    SetDescriptionIfAvailable(name);
    RaiseThreadNameException(name);
}

}  // namespace bootdrive
