// The copy worker's wake-up rule, its naming, the paths it copies and what
// it publishes when a copy ends.
#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bootdrive/Copyfilethread.h"

namespace {

using namespace std::chrono_literals;
using bootdrive::CopyFileThread;
using bootdrive::CopyProgressPercent;

constexpr auto kBound = 20s;
constexpr uint32_t kDiskFull = 112;

template <class Condition>
bool WaitUntil(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A copier whose copies block until the test releases them.
class GatedCopier final : public bootdrive::FileCopier {
public:
    struct Copy {
        std::string from;
        std::string to;
    };

    bool result = true;
    int32_t progressDuringCopy = -1;  // written as the progress routine would

    bootdrive::CopyResult copyFile(const char* from, const char* to, const std::atomic<bool>&) override {
        std::unique_lock<std::mutex> lock(mutex_);
        events_.push_back("copy");
        copies_.push_back({from, to});
        const size_t mine = copies_.size();
        if (progressDuringCopy >= 0) CopyProgressPercent.store(progressDuringCopy);
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_ >= mine; });
        bootdrive::CopyResult ended;
        if (!result) ended.error = kDiskFull, ended.reason = "There is not enough space on the disk.";
        return ended;
    }
    void nameThisThread(const char* name) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::string("name ") + name);
    }

    bool waitForCopies(size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kBound, [&] { return copies_.size() >= count; });
    }
    void releaseOne() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++released_;
        changed_.notify_all();
    }
    void releaseAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = 1u << 30;
        changed_.notify_all();
    }
    std::vector<Copy> copies() {
        std::lock_guard<std::mutex> lock(mutex_);
        return copies_;
    }
    std::vector<std::string> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Copy> copies_;
    std::vector<std::string> events_;
    size_t released_ = 0;
};

void SetPaths(const char* from, const char* to) {
    std::strcpy(bootdrive::FirmwareImagePath, from);
    std::strcpy(bootdrive::FirmwareTargetPath, to);
}

// R: StartFirmwareCopy's wake-up, taken; r: one refused, a copy being under
// way. S: a new copy starts. F: the running copy returns and the worker
// waits again.
struct WakeCase {
    const char* what;
    const char* steps;
    size_t copies;
};

// Test names show what each case is about.
void PrintTo(const WakeCase& c, std::ostream* os) { *os << c.what; }

const WakeCase kWakeCases[] = {
    {"one wake-up, one copy", "RSF", 1},
    {"a second start while copying is refused", "RSrF", 1},
    {"every start while copying is refused", "RSrrrF", 1},
    {"a start after completion copies again", "RSFRSF", 2},
    {"a refused start, then a counted one", "RSrFRSF", 2},
    {"each ended wait yields exactly one copy", "RSFRSFRSFRSFRSF", 5},
};

class WorkerWakeUp : public testing::TestWithParam<WakeCase> {};

TEST_P(WorkerWakeUp, CopiesOncePerWaitEndedByAWakeUp) {
    const WakeCase& c = GetParam();
    GatedCopier copier;
    SetPaths("C:\\App\\Bin\\App_K40.SBIN", "E:\\AIS_Firmware.S19");
    {
        CopyFileThread worker(copier);
        size_t started = 0;
        for (const char* step = c.steps; *step != '\0'; ++step) {
            switch (*step) {
                case 'R': EXPECT_TRUE(worker.Resume()) << c.what; break;
                case 'r': EXPECT_FALSE(worker.Resume()) << c.what; break;
                case 'S': ASSERT_TRUE(copier.waitForCopies(++started)) << c.what; break;
                case 'F':
                    copier.releaseOne();
                    ASSERT_TRUE(WaitUntil([&] { return worker.IsWaiting(); })) << c.what;
                    break;
            }
        }
        EXPECT_EQ(copier.copies().size(), c.copies) << c.what;
    }
    copier.releaseAll();
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkerWakeUp, testing::ValuesIn(kWakeCases));

struct OutcomeCase {
    const char* what;
    bool copySucceeds;
    int32_t progressDuringCopy;
    int32_t expected;
};

// Test names show what each case is about.
void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.what; }

const OutcomeCase kOutcomeCases[] = {
    {"success completes", true, 99, 100},
    {"success without progress calls completes", true, -1, 100},
    {"failure halfway leaves the value", false, 37, 37},
    {"failure at once leaves 0", false, -1, 0},
};

class WorkerOutcome : public testing::TestWithParam<OutcomeCase> {};

TEST_P(WorkerOutcome, PublishesCompletionOnlyAfterSuccess) {
    const OutcomeCase& c = GetParam();
    GatedCopier copier;
    copier.result = c.copySucceeds;
    copier.progressDuringCopy = c.progressDuringCopy;
    CopyFileThread worker(copier);
    CopyProgressPercent.store(0);

    worker.Resume();
    ASSERT_TRUE(copier.waitForCopies(1));
    EXPECT_LT(CopyProgressPercent.load(), 100) << "complete before the copy returned: " << c.what;
    EXPECT_FALSE(worker.lastCopy()) << "ended before the copy returned: " << c.what;
    copier.releaseOne();
    ASSERT_TRUE(WaitUntil([&] { return worker.IsWaiting(); }));
    EXPECT_EQ(CopyProgressPercent.load(), c.expected) << c.what;
    ASSERT_TRUE(worker.lastCopy());
    EXPECT_EQ(worker.lastCopy()->result.error, c.copySucceeds ? 0u : kDiskFull) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkerOutcome, testing::ValuesIn(kOutcomeCases));

// How a copy's end is decided where the Win32 rows cannot bring it about:
// the drive gone inside the copy, errors Wine does not give.
TEST(CopyEnd, DecidedByTheStepItsErrorAndWhatWasSeenAfter) {
    using bootdrive::CopyEnd;
    using bootdrive::CopyStep;
    namespace e = bootdrive::winerror;
    const struct {
        bootdrive::CopyEndFacts facts;  // step, error, every byte seen, root gone
        CopyEnd end;
    } rows[] = {
        {{CopyStep::Copy, e::kDeviceNotConnected, true, true}, CopyEnd::Delivered},
        {{CopyStep::Copy, e::kDeviceNotConnected, false, true}, CopyEnd::Failed},
        {{CopyStep::Copy, e::kDiskFull, true, false}, CopyEnd::Failed},
        {{CopyStep::Reopen, e::kWriteProtect}, CopyEnd::Failed},
        {{CopyStep::Flush, e::kCrc, false, true}, CopyEnd::Failed},
        {{CopyStep::Look, e::kFileCorrupt}, CopyEnd::Failed},
        {{CopyStep::Reopen, e::kAccessDenied}, CopyEnd::Failed},
        {{CopyStep::Flush, e::kInvalidFunction}, CopyEnd::Delivered},
        {{CopyStep::Reopen, 87}, CopyEnd::Failed},
    };
    for (const auto& row : rows)
        EXPECT_EQ(static_cast<int>(bootdrive::DecideCopyEnd(row.facts).end), static_cast<int>(row.end))
            << row.facts.error;
}

TEST(Worker, NamedOnceBeforeItsFirstCopyAndCopiesTheCurrentPaths) {
    GatedCopier copier;
    copier.releaseAll();
    CopyFileThread worker(copier);

    SetPaths("C:\\App\\Bin\\App_K40.SBIN", "E:\\AIS_Firmware.S19");
    worker.Resume();
    ASSERT_TRUE(copier.waitForCopies(1));
    ASSERT_TRUE(WaitUntil([&] { return worker.IsWaiting(); }));
    SetPaths("C:\\App\\Bin\\App_K40.SBIN", "G:\\AIS_Firmware.S19");
    worker.Resume();
    ASSERT_TRUE(copier.waitForCopies(2));
    ASSERT_TRUE(WaitUntil([&] { return worker.IsWaiting(); }));

    EXPECT_EQ(copier.events(), (std::vector<std::string>{"name CopyFileThread", "copy", "copy"}));
    const auto copies = copier.copies();
    EXPECT_EQ(copies[0].to, "E:\\AIS_Firmware.S19");
    EXPECT_EQ(copies[1].to, "G:\\AIS_Firmware.S19");
    EXPECT_EQ(copies[1].from, "C:\\App\\Bin\\App_K40.SBIN");
    EXPECT_EQ(worker.LastTarget(), "G:\\AIS_Firmware.S19") << "the drive a refused start names";
}

TEST(Worker, OverlongPathsReachTheCopierCutTo255Characters) {
    GatedCopier copier;
    copier.releaseAll();
    CopyFileThread worker(copier);
    std::memset(bootdrive::FirmwareImagePath, 'p', sizeof bootdrive::FirmwareImagePath);  // no zero at all
    std::strcpy(bootdrive::FirmwareTargetPath, "E:\\AIS_Firmware.S19");

    worker.Resume();
    ASSERT_TRUE(copier.waitForCopies(1));
    EXPECT_EQ(copier.copies()[0].from, std::string(255, 'p'));
    ASSERT_TRUE(WaitUntil([&] { return worker.IsWaiting(); }));
}

// Workers of earlier tests end on their own shortly after their owners went.
bool NoWorkerThreadsLeft() {
    return WaitUntil([] { return CopyFileThread::LiveWorkerThreads() == 0; });
}

TEST(WorkerLifetime, IdleWorkersEndWhenTheirOwnersGo) {
    ASSERT_TRUE(NoWorkerThreadsLeft());
    GatedCopier copier;
    copier.releaseAll();
    {
        std::vector<std::unique_ptr<CopyFileThread>> workers;
        for (int i = 0; i < 40; ++i) workers.push_back(std::make_unique<CopyFileThread>(copier));
        workers[3]->Resume();  // one of them has copied and waits again
        ASSERT_TRUE(copier.waitForCopies(1));
        ASSERT_TRUE(WaitUntil([&] { return workers[3]->IsWaiting(); }));
    }
    EXPECT_TRUE(NoWorkerThreadsLeft());
    EXPECT_EQ(copier.copies().size(), 1u);
}

TEST(WorkerLifetime, DestroyingDoesNotWaitForARunningCopy) {
    ASSERT_TRUE(NoWorkerThreadsLeft());
    GatedCopier copier;
    auto worker = std::make_unique<CopyFileThread>(copier);
    worker->Resume();
    ASSERT_TRUE(copier.waitForCopies(1));

    worker.reset();  // returns while the copy is still blocked
    EXPECT_EQ(CopyFileThread::LiveWorkerThreads(), 1);

    copier.releaseAll();
    EXPECT_TRUE(NoWorkerThreadsLeft());
    EXPECT_EQ(copier.copies().size(), 1u) << "an abandoned worker copies no more";
}

}  // namespace
