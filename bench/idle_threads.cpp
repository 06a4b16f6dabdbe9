// The yardstick for what a thread costs under Wine: N threads that wait
// for good, each with a 64 KiB stack, then a file that says they all run.
// bench/peak_memory.sh reads the process's private memory with none and
// with sixteen, so that Wine's own share of each thread (a region of its
// own the program does not ask for, which Windows keeps in the kernel) can
// be told from the wizard's.
#include <windows.h>

#include <cstdlib>

namespace {

DWORD WINAPI Wait(void*) {
    Sleep(INFINITE);
    return 0;
}

}  // namespace

// Usage: idle_threads.exe N READY_FILE
int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const int n = std::atoi(argv[1]);
    for (int i = 0; i < n; ++i)
        if (!CreateThread(nullptr, 64 * 1024, Wait, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)) return 1;
    Sleep(500);  // every thread has started and waits
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(ready);
    Sleep(INFINITE);
}
