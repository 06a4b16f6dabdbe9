// The real copy worker with CopyFileExA onto the mapped boot drive, the
// progress routine called as Windows calls it (through its pointer type, so
// with its calling convention, which matters in the 32-bit build), and the
// thread's name with the record that debuggers read.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "bootdrive/Copyfilethread.h"
#include "bootdrive/boot_drive.h"
#include "bootdrive/file_copier_win.h"
#include "bootdrive/last_byte_watch_win.h"
#include "bootdrive/volume_gone.h"
#include "tests/win/bootdrive/wine_drives.h"

namespace {

using namespace std::chrono_literals;
using namespace bootdrive_wine;
using bootdrive::CopyProgressPercent;

LARGE_INTEGER Large(uint64_t value) {
    LARGE_INTEGER v;
    v.QuadPart = static_cast<LONGLONG>(value);
    return v;
}

struct RoutineCase {
    uint64_t total;
    uint64_t transferred;
    DWORD reason;
    int32_t expected;
};

TEST(ReportCopyProgressOnWine, PublishesFromTheFirstTwoTotalsAndContinues) {
    const LPPROGRESS_ROUTINE routine = bootdrive::ReportCopyProgress;
    // Totals above 4 GiB are 64-bit values with a high part; in the 32-bit
    // build each takes two stack slots, and only the low parts count.
    const RoutineCase cases[] = {
        {123456, 0, CALLBACK_STREAM_SWITCH, 0},
        {123456, 61700, CALLBACK_CHUNK_FINISHED, 50},
        {65586, 65536, CALLBACK_CHUNK_FINISHED, 99},
        {65586, 65586, CALLBACK_CHUNK_FINISHED, 99},
        {150, 150, CALLBACK_CHUNK_FINISHED, 99},
        {50, 25, CALLBACK_CHUNK_FINISHED, 50},
        {0, 0, CALLBACK_STREAM_SWITCH, 0},
        {(uint64_t{5} << 32) + 1000, 500, CALLBACK_CHUNK_FINISHED, 50},
        {(uint64_t{2} << 32) + 3200, (uint64_t{1} << 32) + 1600, CALLBACK_CHUNK_FINISHED, 50},
        {(uint64_t{1} << 32) + 100, uint64_t{1} << 32, CALLBACK_STREAM_SWITCH, 0},
        {(uint64_t{0x7F} << 32) + 100000, (uint64_t{0x7E} << 32) + 75000, CALLBACK_CHUNK_FINISHED, 75},
    };
    bootdrive::CopySettlingSince.store(0);
    for (const RoutineCase& c : cases) {
        CopyProgressPercent.store(-1);
        const DWORD answer = routine(Large(c.total), Large(c.transferred), Large(c.total), Large(c.transferred), 1,
                                     c.reason, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, nullptr);
        EXPECT_EQ(answer, static_cast<DWORD>(PROGRESS_CONTINUE)) << c.total << " " << c.transferred;
        EXPECT_EQ(CopyProgressPercent.load(), c.expected) << c.total << " " << c.transferred;
    }
    // Asked to stop (the user left during the copy): Windows ends the copy.
    // Every byte is seen out only with the last chunk.
    std::atomic<bool> stop{true};
    bootdrive::CopyProgressData data;
    data.stop = &stop;
    EXPECT_EQ(routine(Large(100), Large(50), Large(100), Large(50), 1, CALLBACK_CHUNK_FINISHED, INVALID_HANDLE_VALUE,
                      INVALID_HANDLE_VALUE, &data),
              static_cast<DWORD>(PROGRESS_CANCEL));
    EXPECT_FALSE(data.everyByteSeen);
    // From the data stream's own counts: the totals also count a second
    // stream (a download's Zone.Identifier), which a FAT drive cannot take.
    routine(Large(126), Large(126), Large(26), Large(26), 2, CALLBACK_CHUNK_FINISHED, nullptr, nullptr, &data);
    EXPECT_FALSE(data.everyByteSeen) << "the second stream whole";
    EXPECT_EQ(bootdrive::CopySettlingSince.load(), 0) << "settling before the last byte";
    routine(Large(126), Large(100), Large(100), Large(100), 1, CALLBACK_CHUNK_FINISHED, INVALID_HANDLE_VALUE,
            INVALID_HANDLE_VALUE, &data);
    EXPECT_TRUE(data.everyByteSeen);
    // From the last byte on, the close is the drive's: the copy settles.
    EXPECT_NE(bootdrive::CopySettlingSince.exchange(0), 0);
    routine(Large(126), Large(110), Large(26), Large(10), 2, CALLBACK_CHUNK_FINISHED, nullptr, nullptr, &data);
    EXPECT_TRUE(data.everyByteSeen) << "the second stream under way";
}

std::wstring ThreadDescription() {
    using GetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    FARPROC proc = GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetThreadDescription");
    if (proc == nullptr) return L"(unavailable)";
    auto get = reinterpret_cast<GetThreadDescriptionFn>(reinterpret_cast<void (*)()>(proc));
    PWSTR text = nullptr;
    if (FAILED(get(GetCurrentThread(), &text)) || text == nullptr) return L"";
    std::wstring result(text);
    LocalFree(text);
    return result;
}

TEST(ThreadNameOnWine, NamingIsHarmlessWithoutADebuggerAndSetsTheDescription) {
    ASSERT_FALSE(IsDebuggerPresent());
    std::wstring description;
    std::thread named([&] {
        bootdrive::NameCurrentThreadForDebuggers(bootdrive::kCopyThreadName);
        bootdrive::NameCurrentThreadForDebuggers(bootdrive::kCopyThreadName);  // twice is harmless too
        description = ThreadDescription();
    });
    named.join();
    if (description != L"(unavailable)") {
        EXPECT_EQ(description, L"CopyFileThread");
    }
}

// What a vectored handler registered before the naming saw of the exception
// that debuggers read.
struct RaisedRecord {
    DWORD count = 0;
    ULONG_PTR words[EXCEPTION_MAXIMUM_PARAMETERS] = {};
    std::string name;
};
RaisedRecord gRaised;

LONG CALLBACK CaptureThreadNameRecord(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (record.ExceptionCode != 0x406D1388) return EXCEPTION_CONTINUE_SEARCH;
    gRaised.count = record.NumberParameters;
    for (DWORD i = 0; i < record.NumberParameters && i < EXCEPTION_MAXIMUM_PARAMETERS; ++i)
        gRaised.words[i] = record.ExceptionInformation[i];
    // The text lives only while the exception is raised.
    if (record.NumberParameters >= 2 && record.ExceptionInformation[1] != 0)
        gRaised.name = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    return EXCEPTION_CONTINUE_SEARCH;  // the program's own handler ends it
}

// A debugger reads {DWORD type; LPCSTR name; DWORD thread; DWORD flags} at
// 8-byte packing from the arguments, as many pointer-sized words as the
// record fills: four 32-bit words in the 32-bit build, three 64-bit words
// (type with padding, name, thread and flags together) in the 64-bit one.
TEST(ThreadNameOnWine, RecordHasTheFieldsDebuggersReadInThisBuildsWidth) {
    gRaised = RaisedRecord{};
    PVOID handler = AddVectoredExceptionHandler(1, CaptureThreadNameRecord);
    ASSERT_NE(handler, nullptr);
    bootdrive::NameCurrentThreadForDebuggers(bootdrive::kCopyThreadName);
    RemoveVectoredExceptionHandler(handler);

    ASSERT_EQ(gRaised.count, sizeof(void*) == 4 ? 4u : 3u);
    EXPECT_EQ(static_cast<DWORD>(gRaised.words[0]), 0x1000u) << "type";
    EXPECT_EQ(gRaised.name, "CopyFileThread");
    // The thread 0xFFFFFFFF (the calling one); in the 64-bit build the flags
    // (0) are the upper half of the same word.
    EXPECT_EQ(gRaised.words[2], ULONG_PTR{0xFFFFFFFF}) << "thread";
    if (gRaised.count == 4) {
        EXPECT_EQ(gRaised.words[3], ULONG_PTR{0}) << "flags";
    }
}

// One worker for the whole program, as in the wizard: every copy below is
// a later wake-up of the same thread.
class CopyOnWine : public testing::Test {
protected:
    static void SetUpTestSuite() {
        copier_ = bootdrive::makeSystemFileCopier().release();
        worker_ = new bootdrive::CopyFileThread(*copier_);
    }

    // StartFirmwareCopy's part, then the wait for the copy to return.
    static int32_t CopyAndWait(const char* image, const char* target) {
        std::strcpy(bootdrive::FirmwareImagePath, image);
        std::strcpy(bootdrive::FirmwareTargetPath, target);
        CopyProgressPercent.store(0);
        worker_->Resume();
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while (!worker_->IsWaiting() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
        EXPECT_TRUE(worker_->IsWaiting()) << "the copy did not return";
        return CopyProgressPercent.load();
    }

    static std::string Image() {
        std::string image;
        EXPECT_TRUE(ReadWholeFile(kImagePath, image));
        EXPECT_GT(image.size(), 4u << 20) << "the image should be several megabytes";
        return image;
    }

    static bootdrive::FileCopier* copier_;
    static bootdrive::CopyFileThread* worker_;
};

bootdrive::FileCopier* CopyOnWine::copier_ = nullptr;
bootdrive::CopyFileThread* CopyOnWine::worker_ = nullptr;

TEST_F(CopyOnWine, CopiesTheImageOntoTheBootDriveAndEndsAt100) {
    auto drives = bootdrive::makeSystemDrives();
    ASSERT_EQ(bootdrive::FindBootDrive(*drives), kBootDrive);
    RemoveTree(bootdrive::FirmwareTargetPath);
    const std::string target = bootdrive::FirmwareTargetPath;

    EXPECT_EQ(CopyAndWait(kImagePath, target.c_str()), 100);
    std::string copied;
    ASSERT_TRUE(ReadWholeFile(target, copied));
    EXPECT_TRUE(copied == Image()) << "copied bytes differ from the image";
}

TEST_F(CopyOnWine, ReplacesAnExistingTargetAndCopiesAgain) {
    const std::string target = "F:\\AIS_Firmware.S19";
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(WriteWholeFile(target, std::string(10u << 20, 'x')));  // larger than the image
        EXPECT_EQ(CopyAndWait(kImagePath, target.c_str()), 100) << round;
        std::string copied;
        ASSERT_TRUE(ReadWholeFile(target, copied));
        EXPECT_TRUE(copied == Image()) << "round " << round;
    }
}

// A copied file counts once it is written through to the device whole. A
// write or media error, or a file of the wrong size, is a failure wherever
// it comes; a drive-gone error is a delivery only once the drive's root no
// longer opens; a file another program holds is asked for again, and then
// delivered unconfirmed. The settling deletes nothing. The script runs
// this as a user who is not root, so that a read-only file is one, and
// makes the flushes fail that a row asks for (tools/flush_fails). This test
// cannot see the write-through itself: only e2e_full_upgrade.sh, which
// logs the fsync that Wine makes of the file, proves it.
TEST_F(CopyOnWine, CopiedFileIsWrittenThroughAndMeasured) {
    using bootdrive::CopyEnd;
    const std::string target = "F:\\Settled.S19";
    const char* const kFlushFails = "C:\\flush-fails.txt";
    const DWORD kNormal = FILE_ATTRIBUTE_NORMAL, kRead = FILE_SHARE_READ;
    const struct {
        const char* what;
        const char* path;
        const char* content;  // none: no such file
        DWORD attributes;
        DWORD share;  // another program's handle on it, with this sharing (and writing where it shares writing)
        int heldMs;   // how long that handle stays; 0: through the settling
        const char* flush;  // how the flush fails (tools/flush_fails); none: it does not
        CopyEnd end;
        const char* why;  // a part of the log's words
    } rows[] = {
        {"whole", nullptr, "abcdef", kNormal, 0, 0, nullptr, CopyEnd::Confirmed, "written through"},
        {"cut short", nullptr, "abc", kNormal, 0, 0, nullptr, CopyEnd::Failed, "has 3 bytes"},
        {"longer", nullptr, "abcdefg", kNormal, 0, 0, nullptr, CopyEnd::Failed, "has 7 bytes"},
        {"read-only, from a read-only image", nullptr, "abcdef", FILE_ATTRIBUTE_READONLY, 0, 0, nullptr,
         CopyEnd::Confirmed, ""},
        {"gone from a drive that stays", nullptr, nullptr, kNormal, 0, 0, nullptr, CopyEnd::Failed, "drive stayed"},
        {"on a drive that went", "I:\\Settled.S19", nullptr, kNormal, 0, 0, nullptr, CopyEnd::Delivered, "went away"},
        // Its letter kept and nothing announced, as under Wine: the root is not found.
        {"on a drive whose root no longer opens, not removed", "I:\\Settled.S19", nullptr, kNormal, 0, 0, nullptr,
         CopyEnd::Delivered, "its root is no longer found"},
        {"held by a scanner that shares no writing", nullptr, "abcdef", kNormal, kRead, 0, nullptr, CopyEnd::Delivered,
         "another program"},
        {"held by a scanner for a second", nullptr, "abcdef", kNormal, kRead, 1000, nullptr, CopyEnd::Confirmed, ""},
        {"beside a program that writes and shares all", nullptr, "abcdef", kNormal,
         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, nullptr, CopyEnd::Confirmed, ""},
        {"the flush finds the drive full and the entry is lost", nullptr, "abcdef", kNormal, 0, 0, "ENOSPC lose-file",
         CopyEnd::Failed, "write or media error: the file may be cut (Windows error 112)"},
        {"the device drops its drive during the flush", "J:\\Settled.S19", "abcdef", kNormal, 0, 0,
         "ENXIO drop-drive", CopyEnd::Delivered, "the write-through found it gone (Windows error 433)"},
        {"no such device during the flush, the drive staying", nullptr, "abcdef", kNormal, 0, 0, "ENXIO keep",
         CopyEnd::Failed, "while its drive stayed (Windows error 433)"},
        {"the flush times out as the device writes its flash, then drops its drive", "K:\\Settled.S19", "abcdef",
         kNormal, 0, 0, "ETIME drop-drive", CopyEnd::Delivered, "the transponder took the file (Windows error 121)"},
        {"the flush fails as the device stops answering, the drive staying", nullptr, "abcdef", kNormal, 0, 0,
         "ETIMEDOUT keep", CopyEnd::Failed, "answering while its drive stayed: the file may be cut (Windows error 31)"},
    };
    const auto drives = bootdrive::makeSystemDrives();
    for (const auto& row : rows) {
        const std::string path = row.path ? row.path : target;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        if (row.content) {
            ASSERT_TRUE(WriteWholeFile(path, row.content)) << row.what;
            ASSERT_TRUE(SetFileAttributesA(path.c_str(), row.attributes)) << row.what;
        }
        if (row.flush) {
            ASSERT_TRUE(WriteWholeFile(kFlushFails, row.flush)) << row.what;
        }
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (row.share != 0)
            holder = CreateFileA(path.c_str(), GENERIC_READ | (row.share & FILE_SHARE_WRITE ? GENERIC_WRITE : 0),
                                 row.share, nullptr, OPEN_EXISTING, 0, nullptr);
        std::thread letGo([&] { row.heldMs > 0 && (Sleep(row.heldMs), CloseHandle(holder)); });
        // Wine keeps the letter of a drive whose link went and announces
        // nothing: Windows' announcement is played here for the drives that
        // go, those delivered on a drive of their own. A drive that stays is
        // watched for 3 s; one that goes ends the whole watch at once.
        const bool goes = row.path && row.end == CopyEnd::Delivered;
        const bool announced = goes && std::string(row.what).find("not removed") == std::string::npos;
        bootdrive::VolumesAnnouncedGone.store(0);
        std::atomic<bool> decided{false};
        std::thread notice([&] {
            while (announced && !decided && GetFileAttributesA(path.substr(0, 3).c_str()) != INVALID_FILE_ATTRIBUTES)
                Sleep(20);
            if (announced && !decided) bootdrive::NoteVolumesRemoved(1u << (path[0] - 'A'));
        });
        const auto started = std::chrono::steady_clock::now();
        const bootdrive::CopyEndVerdict settled =
            bootdrive::SettleCopiedFile(path.c_str(), 6, *drives, goes ? bootdrive::kRootWatchLimitMs : 3000);
        decided = true;
        notice.join();
        letGo.join();
        EXPECT_TRUE(!goes || std::chrono::steady_clock::now() - started < 20s) << row.what << ": watched on";
        if (holder != INVALID_HANDLE_VALUE && row.heldMs == 0) CloseHandle(holder);
        EXPECT_EQ(static_cast<int>(settled.end), static_cast<int>(row.end)) << row.what << ": " << settled.why;
        EXPECT_NE(settled.why.find(row.why), std::string::npos) << row.what << ": " << settled.why;
        if (row.flush) {
            EXPECT_EQ(GetFileAttributesA(kFlushFails), INVALID_FILE_ATTRIBUTES) << row.what << ": no flush failed";
        }
        if (row.content && !row.flush) {
            std::string kept;
            EXPECT_TRUE(ReadWholeFile(path, kept)) << row.what << ": settling deletes nothing";
            EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << row.what;
        }
    }
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(target.c_str());
}

// A read-only image (from a CD or a read-only share) makes a read-only
// copy: the upgrade ends at 100 all the same, the copy stays whole on the
// drive, and the image is left as it was.
TEST_F(CopyOnWine, ReadOnlyImageIsCopiedAndLeftAsItIs) {
    const std::string target = "F:\\AIS_Firmware.S19";
    RemoveTree(target);
    ASSERT_TRUE(SetFileAttributesA(kImagePath, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(CopyAndWait(kImagePath, target.c_str()), 100);
    EXPECT_EQ(worker_->lastCopy()->result.unconfirmed, "");
    EXPECT_EQ(GetFileAttributesA(kImagePath) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(kImagePath, FILE_ATTRIBUTE_NORMAL));
    std::string copied;
    ASSERT_TRUE(ReadWholeFile(target, copied));
    EXPECT_TRUE(copied == Image());
}

// Where CopyFileExA never calls the progress routine (Wine's), the new file
// at the image's size is the last byte out; where the routine was called
// (Windows calls it first), the watch leaves the drive alone.
TEST(LastByteWatchOnWine, SeesTheWholeFileOnlyWhereTheRoutineIsSilent) {
    const char* const target = "F:\\Watched.S19";
    bootdrive::LastByteWatcher watcher;  // one thread for every copy
    for (const bool called : {false, true, false}) {
        DeleteFileA(target);
        bootdrive::CopySettlingSince.store(0);
        bootdrive::CopyProgressData progress;
        progress.called = called;
        bootdrive::LastByteWatch watch(watcher, target, 6, bootdrive::StampOf(target), progress);
        ASSERT_TRUE(WriteWholeFile(target, "abc"));
        for (int i = 0; i < 50 && !progress.everyByteSeen; ++i) Sleep(20);
        EXPECT_FALSE(progress.everyByteSeen) << "before the last byte";
        ASSERT_TRUE(WriteWholeFile(target, "abcdef"));
        for (int i = 0; i < (called ? 75 : 500) && !progress.everyByteSeen; ++i) Sleep(20);
        EXPECT_EQ(progress.everyByteSeen && bootdrive::CopySettlingSince.exchange(0) != 0, !called);
    }
    DeleteFileA(target);
}

// An old target the failed copy never touched stays as it was.
TEST_F(CopyOnWine, MissingImageLeavesTheValueAt0) {
    const std::string target = "F:\\AIS_Firmware.S19";
    ASSERT_TRUE(WriteWholeFile(target, "old"));
    EXPECT_EQ(CopyAndWait("C:\\App\\Bin\\Missing.SBIN", target.c_str()), 0);
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(target, kept));
    EXPECT_EQ(kept, "old");
}

TEST_F(CopyOnWine, VanishedDriveStaysBelow100) {
    EXPECT_EQ(CopyAndWait(kImagePath, "I:\\AIS_Firmware.S19"), 0);
}

// The drive fills up halfway: the cut file is deleted again.
TEST_F(CopyOnWine, FullDriveStaysBelow100) {
    if (std::getenv("WZ_FULL_DRIVE") == nullptr) GTEST_SKIP() << "no small file system mapped";
    EXPECT_LT(CopyAndWait(kImagePath, "H:\\AIS_Firmware.S19"), 100);
    EXPECT_EQ(worker_->lastCopy()->result.error, static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(GetFileAttributesA("H:\\AIS_Firmware.S19"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CopyOnWine, ReadOnlyTargetStaysBelow100) {
    const std::string target = "G:\\AIS_Firmware.S19";
    ASSERT_TRUE(WriteWholeFile(target, "old"));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_LT(CopyAndWait(kImagePath, target.c_str()), 100);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(target, kept));
    EXPECT_EQ(kept, "old");
}

}  // namespace
