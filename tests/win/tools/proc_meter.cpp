// Measures another process from outside, as a soak test needs it: its open
// handles and its memory. The process is the one that owns the top-level
// window of the given class.
//   proc_meter CLASS
// prints one line:
//   pid=<id> handles=<n> system_handles=<n> private=<bytes> pagefile=<bytes> working=<bytes>
// and exits 0; 1 when no such window exists, 2 when the process cannot be
// queried.
//
// handles is what GetProcessHandleCount says; system_handles counts the
// process's entries in the system handle table (NtQuerySystemInformation),
// -1 when that table cannot be read. Wine 8.0 answers the first with 0
// whatever the process holds, and fills the second from its server's own
// handle tables, so the soak test relies on the second.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The process handle is the only thing this program holds.
class ProcessHandle {
public:
    explicit ProcessHandle(HANDLE h) : h_(h) {}
    ~ProcessHandle() {
        if (h_) CloseHandle(h_);
    }
    ProcessHandle(ProcessHandle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    ProcessHandle& operator=(ProcessHandle&&) = delete;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HANDLE h_;
};

// The extended system handle table (information class 64).
struct HandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTrace;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

long SystemHandlesOf(DWORD pid) {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll) return -1;
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<unsigned char> buffer(1 << 16);
    for (int attempt = 0; attempt < 12; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(64, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
            long count = 0;
            for (ULONG_PTR i = 0; i < table->count; ++i)
                if (table->entries[i].processId == pid) ++count;
            return count;
        }
        if (status != static_cast<LONG>(0xC0000004)) return -1;  // not "length mismatch": no table
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: proc_meter WINDOW_CLASS\n");
        return 2;
    }
    HWND window = FindWindowA(argv[1], nullptr);
    if (!window) {
        std::fprintf(stderr, "no window of class %s\n", argv[1]);
        return 1;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    ProcessHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) {
        std::fprintf(stderr, "cannot open process %lu (error %lu)\n", pid, GetLastError());
        return 2;
    }
    DWORD handles = 0;
    if (!GetProcessHandleCount(process.get(), &handles)) {
        std::fprintf(stderr, "no handle count (error %lu)\n", GetLastError());
        return 2;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        std::fprintf(stderr, "no memory counters (error %lu)\n", GetLastError());
        return 2;
    }
    std::printf("pid=%lu handles=%lu system_handles=%ld private=%llu pagefile=%llu working=%llu\n", pid, handles,
                SystemHandlesOf(pid), static_cast<unsigned long long>(memory.PrivateUsage),
                static_cast<unsigned long long>(memory.PagefileUsage),
                static_cast<unsigned long long>(memory.WorkingSetSize));
    return 0;
}
