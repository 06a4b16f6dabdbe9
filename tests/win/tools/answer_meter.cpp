// Measures how long another program's window leaves the system waiting:
//   answer_meter CLASS STOPFILE SECONDS
// waits up to 60 s for a top-level window of CLASS, prints "found", then
// sends it WM_NULL again and again (SendMessageTimeoutA, 20 ms apart) until
// STOPFILE exists or SECONDS have passed, and prints
//   sends=<n> longest_ms=<longest wait for one answer> unanswered=<n>
// where unanswered counts sends still waiting after 20 s. Exits 1 when no
// such window came, or when it went away during the measurement.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: answer_meter WINDOW_CLASS STOPFILE SECONDS\n");
        return 2;
    }
    const long long limitMs = std::atoll(argv[3]) * 1000;
    HWND window = nullptr;
    for (const auto start = Clock::now(); !window; Sleep(50)) {
        window = FindWindowA(argv[1], nullptr);
        if (!window && MsSince(start) > 60000) return 1;
    }
    std::printf("found\n");
    std::fflush(stdout);

    long long sends = 0, longest = 0, unanswered = 0;
    const auto start = Clock::now();
    while (GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES && MsSince(start) < limitMs) {
        DWORD_PTR ignored = 0;
        const auto sent = Clock::now();
        // No SMTO_ABORTIFHUNG: the wait itself is what is measured.
        const LRESULT answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored);
        const long long waited = MsSince(sent);
        if (!answered) {
            if (!IsWindow(window)) {
                std::printf("window gone\n");
                return 1;
            }
            ++unanswered;
        }
        ++sends;
        if (waited > longest) longest = waited;
        Sleep(20);
    }
    std::printf("sends=%lld longest_ms=%lld unanswered=%lld\n", sends, longest, unanswered);
    return 0;
}
