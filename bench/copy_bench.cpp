// Times the firmware copy worker against a plain CopyFileExA without a
// progress routine followed by the same write-through, on the same image
// and target. Prints one line per way, "<way> <median milliseconds>", and
// "ratio <median of each round's worker/plain>": a round's two copies share
// the disk's and the Wine server's state of the moment. Built and run by
// bench/copy_bench.sh.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bootdrive/Copyfilethread.h"
#include "bootdrive/file_copier_win.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <class Copy>
double TimeOneCopy(const char* target, Copy copy) {
    DeleteFileA(target);
    const auto start = Clock::now();
    if (!copy()) {
        std::fprintf(stderr, "copy failed (error %lu)\n", GetLastError());
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: copy_bench IMAGE TARGET RUNS\n");
        return 2;
    }
    const char* image = argv[1];
    const char* target = argv[2];
    const int runs = std::max(1, std::atoi(argv[3]));

    auto copier = bootdrive::makeSystemFileCopier();
    bootdrive::CopyFileThread worker(*copier);
    std::snprintf(bootdrive::FirmwareImagePath, sizeof bootdrive::FirmwareImagePath, "%s", image);
    std::snprintf(bootdrive::FirmwareTargetPath, sizeof bootdrive::FirmwareTargetPath, "%s", target);

    auto byWorker = [&] {
        bootdrive::CopyProgressPercent.store(0);
        worker.Resume();
        // Polled gently: a spinning thread would take a core from the copy
        // and from the Wine server it calls.
        while (!worker.IsWaiting()) Sleep(1);
        return bootdrive::CopyProgressPercent.load() == 100;
    };
    const uint64_t imageBytes = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExA(image, GetFileExInfoStandard, &data);
        return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    }();
    const auto drives = bootdrive::makeSystemDrives();
    auto plain = [&] {
        return CopyFileExA(image, target, nullptr, nullptr, nullptr, 0) != FALSE &&
               bootdrive::SettleCopiedFile(target, imageBytes, *drives).end == bootdrive::CopyEnd::Confirmed;
    };
    // The two ways take turns, each going first in every other round, so
    // that the cache and the disk (still busy with the file deleted before)
    // treat them alike; the first round only warms up.
    std::vector<double> workerRuns, plainRuns, ratios;
    for (int i = 0; i <= runs; ++i) {
        double w = 0, p = 0;
        if (i % 2 == 0) {
            w = TimeOneCopy(target, byWorker);
            p = TimeOneCopy(target, plain);
        } else {
            p = TimeOneCopy(target, plain);
            w = TimeOneCopy(target, byWorker);
        }
        if (i == 0) continue;
        workerRuns.push_back(w);
        plainRuns.push_back(p);
        ratios.push_back(w / p);
    }
    const double workerMs = Median(workerRuns);
    const double plainMs = Median(plainRuns);
    std::printf("worker %.3f\nplain %.3f\nratio %.3f\n", workerMs, plainMs, Median(ratios));
    return 0;
}
