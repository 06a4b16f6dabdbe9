// The log for support: nothing on disk before the window is up, one line
// per entry in UTF-8, bounded, and a file that fails costs only its lines.
#include <gtest/gtest.h>

#include <string>

#include "base/log.h"

namespace {

// The log's file in memory; its open or its writes may fail.
struct MemoryLogFile final : base::LogSystem {
    std::string timeStamp() override { return "T"; }
    std::string runFacts() override { return "facts"; }
    std::optional<uint64_t> open() override {
        ++opens;
        return opensOk ? std::optional<uint64_t>(text.size()) : std::nullopt;
    }
    std::optional<std::string> read() override { return readsOk ? std::optional<std::string>(text) : std::nullopt; }
    bool rewrite(std::string_view t) override {
        text = t;
        return true;
    }
    bool append(std::string_view t) override {
        ++appends;
        if (appendsOk) text += t;
        return appendsOk;
    }
    std::string text;
    std::string codePageText(std::string_view t) override {
        return codePage.empty() ? base::LogSystem::codePageText(t) : codePage + "(" + std::string(t) + ")";
    }
    bool opensOk = true, appendsOk = true, readsOk = true;
    std::string codePage;  // names the system's own conversion, when set
    int opens = 0, appends = 0;
};

TEST(Log, KeepsLinesUntilWritingStartsThenWritesEachAsItComes) {
    MemoryLogFile file;
    file.text = "== earlier run\n";
    base::Log log(&file);
    log.line("image C:\\App\\Bin\\App_K40.SBIN");
    log.line("box \"Error\": line one\nline two\x01");
    EXPECT_EQ(file.opens, 0) << "nothing touches the disk before the window is up";
    log.startWriting();
    log.line("Pr\xFC" "fung \xC3\xBC");  // Latin-1, then the same letter in UTF-8: read as Windows-1252
    log.line("Prüfung");
    log.startWriting();
    EXPECT_EQ(file.opens, 1);
    EXPECT_EQ(file.text,
              "== earlier run\n\n== T facts\nT image C:\\App\\Bin\\App_K40.SBIN\n"
              "T box \"Error\": line one\\nline two\\x01\nT Pr\xC3\xBC" "fung \xC3\x83\xC2\xBC\nT Prüfung\n");
}

TEST(Log, ThatCannotBeWrittenCostsOnlyItsLinesAndIsNotRetried) {
    for (const bool opens : {false, true}) {
        SCOPED_TRACE(opens ? "append fails" : "open fails");
        MemoryLogFile file;
        file.opensOk = opens;
        file.appendsOk = false;
        base::Log log(&file);
        log.line("one");
        log.startWriting();
        for (int i = 0; i < 5; ++i) log.line("more");
        EXPECT_EQ(file.opens, 1);
        EXPECT_EQ(file.appends, opens ? 1 : 0);
        EXPECT_EQ(file.text, "");
    }
}

// Runs of an earlier day and a run that writes far too much: the oldest
// runs go, whole, and this run stops at its limit.
TEST(Log, StaysWithin256KiB) {
    MemoryLogFile file;
    for (const char* run : {"== 1", "== 2", "== 3", "== 4"}) file.text += run + std::string(60 * 1024, '.') + "\n";
    base::Log log(&file);
    log.startWriting();
    EXPECT_EQ(file.text.compare(0, 4, "== 3"), 0) << "the two newest runs within 128 KiB are kept";
    const std::size_t kept = file.text.size();
    for (int i = 0; i < 2000; ++i) log.line(std::string(100, 'x'));
    EXPECT_LE(file.text.size() - kept, base::Log::kRunLimit);
    EXPECT_NE(file.text.find("T the log of this run ends here: it has reached its size limit\n"), std::string::npos);
    EXPECT_LE(file.text.size(), 256u * 1024);

    // A file that cannot be read (grown past what the log reads whole, or
    // locked now) starts afresh only when it is past all the log ever
    // holds; a text that is not UTF-8 is read in the system's code page.
    for (const std::size_t size : {300u * 1024, 200u * 1024}) {
        SCOPED_TRACE(size);
        MemoryLogFile unread;
        unread.text = std::string(size, '.');
        unread.readsOk = false;
        unread.codePage = "cp1251";
        base::Log fresh(&unread);
        fresh.startWriting();
        fresh.line("\xC4\xE8\xF1\xEA");
        const std::string run = "== T facts\nT cp1251(\xC4\xE8\xF1\xEA)\n";
        EXPECT_EQ(unread.text, size > 256u * 1024 ? run : std::string(size, '.') + "\n" + run);
    }
}

}  // namespace
