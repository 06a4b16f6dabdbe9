// Times two programs from their start to their window on screen, taking
// turns (A B A B ...), and prints the median of each in milliseconds, and
// the median of each round's A/B (a round's two runs share the machine's
// load of the moment, which moves the medians apart from round to round):
//   start_timer RUNS EXE_A CLASS_A EXE_B CLASS_B
//   -> "a <ms>", "b <ms>" and "ratio <median of the rounds' A/B>"
// One run: CreateProcessA, then the clock runs until a visible top-level
// window of the class exists; the program is then ended and waited for.
// The first rounds only warm up, and each run waits for Wine to finish with
// the one before. Built and run by bench/run.sh.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Pause between two runs; rounds that only warm up, before the timed ones.
constexpr DWORD kSettleMs = 300;
constexpr int kWarmUpRounds = 2;

class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() {
        if (h_) CloseHandle(h_);
    }
    Handle(Handle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    Handle& operator=(Handle&&) = delete;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// The folder of a program's path, so that it starts where it lies.
std::string FolderOf(const std::string& exe) {
    const auto slash = exe.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

// Milliseconds from the start of the program to its visible window; -1 when
// it does not come within 60 s.
double TimeToWindow(const std::string& exe, const char* windowClass) {
    std::string command = "\"" + exe + "\"";
    const std::string folder = FolderOf(exe);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const auto start = Clock::now();
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return -1;
    Handle process(pi.hProcess), thread(pi.hThread);
    double ms = -1;
    for (;;) {
        HWND w = FindWindowA(windowClass, nullptr);
        const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (w && IsWindowVisible(w)) {
            ms = elapsed;
            break;
        }
        if (elapsed > 60000 || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) break;
        Sleep(1);
    }
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 30000);
    // Let the window's removal settle so that the next run cannot see it,
    // and let Wine finish with the ended process, so that its clean-up does
    // not fall into the next run's time.
    for (int i = 0; i < 3000 && FindWindowA(windowClass, nullptr); ++i) Sleep(1);
    Sleep(kSettleMs);
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: start_timer RUNS EXE_A CLASS_A EXE_B CLASS_B\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::vector<double> a, b, ratios;
    for (int i = 0; i < runs + kWarmUpRounds; ++i) {
        const double ta = TimeToWindow(argv[2], argv[3]);
        const double tb = TimeToWindow(argv[4], argv[5]);
        if (ta < 0 || tb < 0) {
            std::fprintf(stderr, "no window (a %.0f ms, b %.0f ms)\n", ta, tb);
            return 1;
        }
        if (i < kWarmUpRounds) continue;
        a.push_back(ta);
        b.push_back(tb);
        ratios.push_back(ta / tb);
    }
    std::printf("a %.1f\nb %.1f\nratio %.3f\n", Median(a), Median(b), Median(ratios));
    return 0;
}
