// The version query and what the device's answer to it means.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace serial {

// "!AIAIQ,VER*3C\r\n" and its terminating zero byte: 16 bytes on the wire.
inline constexpr char kVersionQuery[] = "!AIAIQ,VER*3C\r\n";
inline constexpr std::size_t kVersionQueryLength = sizeof kVersionQuery;
static_assert(kVersionQueryLength == 16, "the zero byte goes out with the query");

inline constexpr std::size_t kReplyBufferSize = 300;
inline constexpr std::size_t kReplyLineMax = 100;
inline constexpr std::size_t kDeviceVersionMax = 19;
inline constexpr int kVersionFieldCommas = 10;
inline constexpr char kReplyStart[] = "$AIVER,";
inline constexpr char kModelText[] = "AIS-B-K40";

// Evaluates the bytes of one read. The text is the bytes up to the first
// zero byte; the device is identified when it holds "$AIVER," and, at or
// after it, the model text (also beyond the reply line). Then returns the
// reply line: from "$AIVER," up to and including the first line feed, at
// most kReplyLineMax characters, never beyond the text. Otherwise nothing.
std::optional<std::string> EvaluateReply(const std::string& received);

// True when bytes that EvaluateReply did not take for the transponder are
// plainly another device's: a whole version reply of another model, or
// whole lines without a sentence of an AIS talker ("$AI", "!AI") (a GPS, a
// console). A transponder still starting, sending its AIS sentences before
// it answers, is not, nor a reply the read cut before its line end.
bool PlainlyAnotherDevice(const std::string& received);

// True when `text` holds at least `n` commas.
bool HasCommaCount(const char* text, int n);

// A tokenizer over a one-character delimiter that cuts the text it is given
// (each delimiter found becomes a zero byte). Its position belongs to one
// parse: make one reader per line.
class ReplyFieldReader {
public:
    // With a text, starts at it; with nullptr, goes on where the previous
    // call stopped. Returns the field up to the next delimiter, or nullptr
    // when no delimiter follows (a last field without one is never
    // returned) or when there is nothing to go on with. Empty fields count.
    // Leading spaces are dropped unless the field is all spaces.
    char* NextReplyField(char* text, char delimiter);

private:
    char* position_ = nullptr;
};

// The device's firmware version in a reply line: field 9 (between the ninth
// and tenth comma), at most kDeviceVersionMax bytes and never ending inside
// a UTF-8 character (base::TextCutLength); nothing when the line holds
// fewer than ten commas.
std::optional<std::string> VersionOfReplyLine(const std::string& line);

}  // namespace serial
