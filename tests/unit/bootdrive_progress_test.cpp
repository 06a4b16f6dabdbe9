// The copy's published percentage: truncated, never 100 while bytes may
// remain, and defined for files of any size.
#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>

#include "bootdrive/Copyfilethread.h"
#include "bootdrive/copy_progress.h"

namespace {

struct ProgressCase {
    const char* what;
    uint64_t total;
    uint64_t transferred;
    int32_t expected;
};

// Test names show what each case is about.
void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.what; }

const ProgressCase kProgressCases[] = {
    {"start of the stream", 123456, 0, 0},
    {"truncated, not rounded", 123456, 61700, 50},
    {"one byte short of the next percent", 123456, 1234 * 51 - 1, 50},
    {"large image, last chunk reported", 64u << 20, 64u << 20, 99},
    {"chunk boundary 50 bytes before the end", 65586, 65536, 99},
    {"exactly 100 bytes, halfway", 100, 50, 50},
    {"exactly 100 bytes, all done", 100, 100, 99},
    {"150 bytes, two thirds", 150, 100, 99},
    {"150 bytes, all done", 150, 150, 99},
    {"9,999 bytes, all done", 9999, 9999, 99},
    {"99 bytes, one third", 99, 33, 33},
    {"under 100 bytes, all done", 40, 40, 99},
    {"one byte file, nothing yet", 1, 0, 0},
    {"empty file", 0, 0, 0},
    {"size counts by its low 32 bits", (uint64_t{1} << 32) + 200, 100, 50},
    {"size a multiple of 4 GiB reads 0", uint64_t{1} << 32, 12345, 0},
    {"transferred counts by its low 32 bits", 1000, (uint64_t{1} << 32) + 500, 50},
};

class CopyProgressRule : public testing::TestWithParam<ProgressCase> {};

TEST_P(CopyProgressRule, PublishesTheExpectedPercent) {
    const ProgressCase& c = GetParam();
    EXPECT_EQ(bootdrive::CopyProgressFromTotals(c.total, c.transferred), c.expected) << c.what;
    bootdrive::CopyProgressPercent.store(-7);
    bootdrive::PublishCopyProgress(c.total, c.transferred);
    EXPECT_EQ(bootdrive::CopyProgressPercent.load(), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, CopyProgressRule, testing::ValuesIn(kProgressCases));

// Whatever the chunking, the value climbs monotonically and stays below the
// completion value while the copy runs.
TEST(CopyProgressRule, NeverDecreasesAndNeverCompletesDuringACopy) {
    for (uint64_t total : {uint64_t{1}, uint64_t{99}, uint64_t{100}, uint64_t{150}, uint64_t{9999},
                           uint64_t{10000}, uint64_t{65586}, uint64_t{123456}}) {
        int32_t previous = 0;
        for (uint64_t done = 0; done <= total; done += 1 + total / 97) {
            const int32_t now = bootdrive::CopyProgressFromTotals(total, done);
            EXPECT_GE(now, previous) << total << " " << done;
            EXPECT_LT(now, bootdrive::kCopyCompletePercent) << total << " " << done;
            previous = now;
        }
    }
}

}  // namespace
