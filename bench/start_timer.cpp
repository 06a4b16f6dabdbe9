// Times two programs from their start to their window on screen, taking
// turns, and prints what sets them apart:
//   start_timer RUNS EXE_A CLASS_A EXE_B CLASS_B
//   -> "a <ms>" and "b <ms>": each program's lower quartile;
//      "added <ms> <low> <high>": the median of what A takes more than B in
//      the same round, with its 95 % confidence interval (order statistics
//      of the rounds' differences);
//      "ratio <A/B>": B's lower quartile and what A adds to it, against B's
//      lower quartile, the figure;
//      "blocks <least> <most>": the same figure over each fifth of the
//      rounds, its spread within the run;
//      "round_ratio <median>": the median of each round's own A/B.
// A start under Wine now and then takes 10 to 20 ms more, for either
// program alike, and a third of the rounds may hold such a hitch: it moves
// the medians and the rounds' ratios by more than the programs differ. The
// lower quartile of each program's times leaves the hitches out, and over
// 70 rounds it moves by about 0.02 from run to run where the median of the
// rounds' ratios moved by 0.07.
// One run: CreateProcessA, then the clock runs until a visible top-level
// window of the class exists; the program is then ended and waited for.
// A round's difference leaves out what slows both alike (the machine's
// load moves both starts of a round), and its median leaves out the rounds
// where a hitch fell on one program only.
// The rounds alternate which program goes first (A B, B A, ...), so that
// neither always starts on the heels of the other. The first rounds only
// warm up, and each run waits for Wine to finish with the one before.
// Built and run by bench/run.sh.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
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

// The value at `fraction` of the sorted series (0: the least, 1: the most).
double At(std::vector<double> v, double fraction) {
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(std::lround(fraction * static_cast<double>(v.size() - 1)));
    return v[std::min(i, v.size() - 1)];
}

// The figure: B's lower quartile and A's median added time, against B's.
double AddedRatio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> added(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) added[i] = a[i] - b[i];
    return (At(b, 0.25) + At(added, 0.5)) / At(b, 0.25);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: start_timer RUNS EXE_A CLASS_A EXE_B CLASS_B\n");
        return 2;
    }
    const int runs = std::max(5, std::atoi(argv[1]));
    std::vector<double> a, b, ratios, added;
    for (int i = 0; i < runs + kWarmUpRounds; ++i) {
        double ta, tb;
        if (i % 2 == 0) {
            ta = TimeToWindow(argv[2], argv[3]);
            tb = TimeToWindow(argv[4], argv[5]);
        } else {
            tb = TimeToWindow(argv[4], argv[5]);
            ta = TimeToWindow(argv[2], argv[3]);
        }
        if (ta < 0 || tb < 0) {
            std::fprintf(stderr, "no window (a %.0f ms, b %.0f ms)\n", ta, tb);
            return 1;
        }
        if (i < kWarmUpRounds) continue;
        a.push_back(ta);
        b.push_back(tb);
        ratios.push_back(ta / tb);
        added.push_back(ta - tb);
    }
    double least = 1e9, most = 0;
    const std::size_t block = a.size() / 5;
    for (std::size_t k = 0; k < 5; ++k) {
        const auto from = static_cast<std::ptrdiff_t>(k * block), to = static_cast<std::ptrdiff_t>((k + 1) * block);
        const double r = AddedRatio({a.begin() + from, a.begin() + to}, {b.begin() + from, b.begin() + to});
        least = std::min(least, r);
        most = std::max(most, r);
    }
    // The median's 95 % interval: the rounds' differences ranked n/2 -+ 0.98 sqrt(n).
    std::sort(added.begin(), added.end());
    const double n = static_cast<double>(added.size()), half = 0.98 * std::sqrt(n);
    const auto rank = [&](double r) {
        return added[static_cast<std::size_t>(std::clamp(r, 0.0, n - 1))];
    };
    std::printf("a %.1f\nb %.1f\nadded %.1f %.1f %.1f\nratio %.3f\nblocks %.3f %.3f\nround_ratio %.3f\n", At(a, 0.25),
                At(b, 0.25), At(added, 0.5), rank(std::floor(n / 2 - half)), rank(std::ceil(n / 2 + half) - 1),
                AddedRatio(a, b), least, most, At(ratios, 0.5));
    return 0;
}
