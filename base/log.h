// The log for support: one plain UTF-8 text file per user that every run
// of the wizard appends to, one line per thing it saw or did, each with its
// time. The log only ever watches: a log that cannot be opened or written
// costs its lines and nothing else, and no call here throws.
//
// The file stays small: a run begins with a line starting "== " (its time
// and the facts of the run); when a run begins on a file longer than
// kTrimAbove, the oldest runs go, so that the newest runs within kKeptOnTrim
// remain; one run writes at most kRunLimit. So the file never passes
// kTrimAbove + kRunLimit (256 KiB).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// What the log asks of the system; the Windows one is base/log_system_win.cpp.
class LogSystem {
public:
    virtual ~LogSystem() = default;
    // The local time now, to the millisecond: "2016-04-26 14:03:07.250".
    virtual std::string timeStamp() = 0;
    // What this run runs on: the program's version and width, the Windows
    // version and build, the DPI and the code page.
    virtual std::string runFacts() = 0;
    // Opens the log file for reading and writing, creating it and its
    // folder when missing; its size in bytes, none when it cannot be had.
    virtual std::optional<uint64_t> open() = 0;
    // The whole text of the open file; none when it cannot be read.
    virtual std::optional<std::string> read() = 0;
    // Makes `text` the whole content of the open file.
    virtual bool rewrite(std::string_view text) = 0;
    // Adds `text` at the end of the open file.
    virtual bool append(std::string_view text) = 0;
    // A text that is not UTF-8, in UTF-8: what Windows gives in the PC's
    // code page for programs that are not Unicode (its reasons, volume
    // labels and port names before Windows 10 1903: 1251, 936...). By
    // default, and where that code page is UTF-8, read as Windows-1252.
    virtual std::string codePageText(std::string_view text);
};

// Used from one thread only (the window's).
class Log {
public:
    static constexpr std::size_t kTrimAbove = 192 * 1024;
    static constexpr std::size_t kKeptOnTrim = 128 * 1024;
    static constexpr std::size_t kRunLimit = 64 * 1024;

    // Without a system the lines go nowhere.
    explicit Log(LogSystem* system = nullptr) noexcept;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // One line: the time, then `text` in UTF-8 (a text that is not UTF-8 is
    // read in the system's code page), with line breaks and
    // other control characters written as \n, \r, \t or \xNN.
    void line(std::string_view text) noexcept;

    // From now on each line goes to the file as it comes; the lines kept in
    // memory until now go first, after the run's first line. Until this is
    // called nothing touches the disk, so that the window's start never
    // waits for it. Calling it again does nothing.
    void startWriting() noexcept;

private:
    void add(const std::string& text);
    void open();
    std::string inUtf8(std::string_view text);

    enum class State { Keeping, Writing, Off };
    LogSystem* system_;
    State state_ = State::Keeping;
    std::string runStamp_;  // when the run began
    std::string pending_;   // lines kept until writing starts
    std::size_t runBytes_ = 0;
    bool runFull_ = false;
};

// The newest whole runs of a log's text that fit in `maxBytes`: the text
// from the first line starting "== " that lies at least size - maxBytes
// into it; empty when no such line does.
std::string_view NewestRuns(std::string_view text, std::size_t maxBytes);

// Bytes from outside (what a device sent) for a line of the log: printable
// ASCII as it is, "\" as \\, CR, LF and tab as \r, \n, \t, every other byte
// as \xNN.
std::string PrintableBytes(std::string_view bytes);

}  // namespace base
