#include "base/log.h"

#include <cstdio>

#include "base/utf8_text.h"

namespace base {

namespace {

constexpr const char* kRunStart = "== ";
// Room kept within a run's limit for its first line and its last one.
constexpr std::size_t kRunReserve = 512;
constexpr const char* kRunCut = "the log of this run ends here: it has reached its size limit";

std::string Hex(unsigned char byte) {
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    return text;
}

// Control characters as escapes, so that one entry is one line.
std::string Escaped(std::string_view text, bool escapeAll) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (escapeAll && c == '\\') {
            out += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F || (escapeAll && byte >= 0x80)) {
            out += Hex(byte);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

std::string LogSystem::codePageText(std::string_view text) { return Utf8Text(text); }

Log::Log(LogSystem* system) noexcept : system_(system) {
    if (system_ == nullptr) {
        state_ = State::Off;
        return;
    }
    try {
        runStamp_ = system_->timeStamp();
    } catch (...) {
        state_ = State::Off;
    }
}

void Log::line(std::string_view text) noexcept {
    if (state_ == State::Off || runFull_) return;
    try {
        std::string entry = system_->timeStamp() + " " + inUtf8(Escaped(text, false)) + "\n";
        if (runBytes_ + entry.size() > kRunLimit - kRunReserve) {
            entry = system_->timeStamp() + " " + kRunCut + "\n";
            runFull_ = true;
        }
        runBytes_ += entry.size();
        add(entry);
    } catch (...) {
        state_ = State::Off;
    }
}

std::string Log::inUtf8(std::string_view text) {
    return IsUtf8(text) ? std::string(text) : system_->codePageText(text);
}

void Log::add(const std::string& entry) {
    if (state_ == State::Keeping) {
        pending_ += entry;
    } else if (!system_->append(entry)) {
        state_ = State::Off;  // no second try on every later line
    }
}

void Log::startWriting() noexcept {
    if (state_ != State::Keeping) return;
    try {
        open();
    } catch (...) {
        state_ = State::Off;
    }
    std::string().swap(pending_);
}

void Log::open() {
    state_ = State::Off;
    const auto size = system_->open();
    if (!size) return;
    bool empty = *size == 0;
    if (*size > kTrimAbove) {
        // A file that cannot be read whole now (locked, an I/O error) is
        // left as it is, unless it has grown past all the log ever holds
        // (by another program or a fault): that one starts afresh.
        const auto text = system_->read();
        if (text || *size > kTrimAbove + kRunLimit) {
            const std::string_view kept = text ? NewestRuns(*text, kKeptOnTrim) : std::string_view();
            if (!system_->rewrite(kept)) return;
            empty = kept.empty();
        }
    }
    // An empty line before the run's first: that one begins a line even
    // after a run that was cut off in the middle of one.
    const std::string facts = inUtf8(Escaped(system_->runFacts(), false));
    const std::string first = std::string(empty ? "" : "\n") + kRunStart + runStamp_ + " " + facts + "\n";
    if (!system_->append(first + pending_)) return;
    state_ = State::Writing;
}

std::string_view NewestRuns(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    const std::size_t from = text.size() - maxBytes;
    const std::size_t start = text.find(std::string("\n") + kRunStart, from - 1);
    return start == std::string_view::npos ? std::string_view() : text.substr(start + 1);
}

std::string PrintableBytes(std::string_view bytes) { return Escaped(bytes, true); }

}  // namespace base
