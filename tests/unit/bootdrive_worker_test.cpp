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
    const char* const kAdvice = "Check the USB cable, connect the transponder without a hub between";
    const char* const kNoAnswer = "stopped answering";
    const struct {
        bootdrive::CopyEndFacts facts;  // step, error, every byte seen, root gone, measured, image
        CopyEnd end;
        uint32_t error;     // given to the box
        bool looks;         // the drive's root is looked at before the verdict
        const char* fault;  // a part of the plain words; "": none
        const char* why;    // a part of the log's words
    } rows[] = {
        {{CopyStep::Copy, e::kDeviceNotConnected, true, true}, CopyEnd::Delivered, 0, true, "", "went away"},
        {{CopyStep::Copy, e::kDeviceNotConnected, false, true}, CopyEnd::Failed, 1167, false, "", "before the whole"},
        {{CopyStep::Copy, e::kDiskFull, true, true}, CopyEnd::Failed, 112, false, "", "write or media"},
        {{CopyStep::Reopen, e::kWriteProtect}, CopyEnd::Failed, 19, false, "", "write or media"},
        {{CopyStep::Flush, e::kCrc, false, true}, CopyEnd::Failed, 23, false, kAdvice, "write or media"},
        {{CopyStep::Look, e::kFileCorrupt}, CopyEnd::Failed, 1392, false, "file system", ""},
        {{CopyStep::Reopen, e::kAccessDenied}, CopyEnd::Failed, 5, false, "refused the file", "no longer read-only"},
        {{CopyStep::Flush, e::kInvalidFunction}, CopyEnd::Delivered, 0, false, "", "cannot be written through"},
        {{CopyStep::Reopen, 87}, CopyEnd::Failed, 87, false, "", ""},
        {{CopyStep::Measure, 0, false, false, 6, 6}, CopyEnd::Confirmed, 0, false, "", "6 bytes as the image"},
        {{CopyStep::Measure, 0, false, false, 7, 6}, CopyEnd::Failed, bootdrive::kErrorWrongSize, false,
         "has 7 bytes, not the image's 6", "written through"},
        {{CopyStep::Copy, e::kSharingViolation, true}, CopyEnd::Failed, 32, false, "", "another program"},
        {{CopyStep::Reopen, e::kLockViolation}, CopyEnd::Delivered, 0, false, "", "refused for 3 s"},
        {{CopyStep::Reopen, e::kNotSupported}, CopyEnd::Failed, 50, false, "", ""},
        {{CopyStep::Measure, e::kInvalidFunction}, CopyEnd::Failed, 1, false, "", ""},
        {{CopyStep::Flush, e::kNotReady, false, true}, CopyEnd::Delivered, 0, true, "", "write-through found it gone"},
        {{CopyStep::Flush, e::kNotReady, false, false}, CopyEnd::Failed, 21, true, "was lost", "drive stayed"},
        {{CopyStep::Copy, e::kFileInvalid, true, true}, CopyEnd::Delivered, 0, true, "", "went away"},
        // A device that stops answering to write its flash, then drops off.
        {{CopyStep::Flush, e::kSemTimeout, false, true}, CopyEnd::Delivered, 0, true, "", "write-through, then"},
        {{CopyStep::Flush, e::kSemTimeout, false, false}, CopyEnd::Failed, 121, true, kAdvice, "drive stayed"},
        {{CopyStep::Look, e::kGenFailure, false, true}, CopyEnd::Delivered, 0, true, "", kNoAnswer},
        {{CopyStep::Measure, e::kIoDevice, false, false}, CopyEnd::Failed, 1117, true, kAdvice, "drive stayed"},
        {{CopyStep::Copy, e::kIoDevice, true, true}, CopyEnd::Delivered, 0, true, "", kNoAnswer},
        {{CopyStep::Copy, e::kGenFailure, true, false}, CopyEnd::Failed, 31, true, kAdvice, "drive stayed"},
        {{CopyStep::Copy, e::kSemTimeout, false, true}, CopyEnd::Failed, 121, false, kAdvice, kNoAnswer},
        // A boot loader that took its file at the close and went silent to
        // flash: the reopen is decided as the look is, by the drive going.
        {{CopyStep::Reopen, e::kSemTimeout, false, true, 0, 0, "its letter went"}, CopyEnd::Delivered, 0, true, "",
         "reopening, then its drive went away: the transponder took the file (Windows error 121); its letter went"},
        {{CopyStep::Reopen, e::kGenFailure, false, false}, CopyEnd::Failed, 31, true, kAdvice, "drive stayed"},
        // No error code is a failure, never a device's silence.
        {{CopyStep::Copy, bootdrive::kErrorNoCode, true, true}, CopyEnd::Failed, bootdrive::kErrorNoCode, false,
         "gave no reason", "the copy failed without an error code"},
        {{CopyStep::Flush, bootdrive::kErrorNoCode}, CopyEnd::Failed, bootdrive::kErrorNoCode, false, "no reason", ""},
    };
    for (const auto& row : rows) {
        const bootdrive::CopyEndVerdict v = bootdrive::DecideCopyEnd(row.facts);
        SCOPED_TRACE(std::to_string(row.facts.error) + " at " + std::to_string(int(row.facts.step)) + ": " + v.why);
        EXPECT_EQ(static_cast<int>(v.end), static_cast<int>(row.end));
        EXPECT_EQ(v.error, row.error);
        EXPECT_EQ(bootdrive::RootDecides(row.facts), row.looks);
        // Only a file held by another program is asked for again, for 3 s.
        EXPECT_EQ(bootdrive::HeldByAnotherProgram(row.facts), v.why.find("another program") != std::string::npos);
        EXPECT_EQ(*row.fault ? v.fault.find(row.fault) != std::string::npos : v.fault.empty(), true) << v.fault;
        EXPECT_NE(v.why.find(row.why), std::string::npos);
    }
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
