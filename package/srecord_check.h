// Checking a firmware image written as Motorola S-records, a piece at a
// time, so that a large image is never held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace package {

// The first line of an image that fails, and why, in plain words.
struct SRecordFault {
    std::size_t line = 0;  // counted from 1
    std::string reason;
};

// "line 1234: the checksum is 5B, its bytes give 5A".
std::string Described(const SRecordFault& fault);

// A text whose first line is an S0 record is checked line by line:
// - every line is a record: "S", its type (0-3, 5-9), then hex digits, two
//   a byte: the byte count, then that many bytes (address, data, checksum);
//   the checksum is the ones' complement of the low byte of the sum of the
//   count, address and data bytes;
// - a count record (S5, S6) holds the number of data records (S1-S3)
//   before it; it and a termination record hold nothing but that address;
// - the text ends with one termination record (S7-S9), after which only
//   line ends and blanks follow.
// Lenient where the tools that write S-records differ: CR, LF or CRLF line
// ends, hex digits in either case, blanks at the end of a line, and one
// end-of-file byte (0x1A) as the very last byte. A text that does not
// begin with "S0" (a binary image, an empty file) is no S-record text and
// is not checked.
class SRecordCheck {
public:
    // Takes the next bytes of the text. False once nothing that follows can
    // change the verdict (a fault was found, or the text is no S-record
    // text): the caller may stop reading.
    bool feed(std::string_view bytes);
    // After the last byte: the first fault, none when the text passed or
    // was not checked.
    std::optional<SRecordFault> finish();
    // The text began as S-records and was checked (known after two bytes).
    bool checked() const { return start_ == Start::SRecords; }

private:
    enum class Start { Unknown, SRecords, Other };
    enum class Field { Begin, Type, Digits, Blanks };
    void take(char c);
    void endLine();
    // The verdict on the record of the current line, none when it holds.
    std::optional<std::string> recordFault() const;
    // The first fault stays: on the current line.
    void fail(std::string reason);

    Start start_ = Start::Unknown;
    bool sawFirst_ = false;
    bool firstIsS_ = false;  // the text's first byte is 'S'
    std::optional<SRecordFault> fault_;
    std::size_t line_ = 1;
    std::size_t terminatedAt_ = 0;  // the termination record's line; 0 before it
    uint32_t dataRecords_ = 0;
    bool afterCr_ = false;          // the last byte was a CR: an LF after it ends no line
    bool endOfFileByte_ = false;    // the last byte was 0x1A
    // The current line.
    Field field_ = Field::Begin;
    char type_ = 0;
    std::size_t digits_ = 0;
    std::size_t bytes_ = 0;
    uint8_t high_ = 0;     // the first digit of the byte being read
    uint32_t sum_ = 0;     // of every byte of the line
    uint8_t count_ = 0;    // the byte count
    uint8_t last_ = 0;     // the last byte: the checksum once the line ends
    uint32_t address_ = 0;
};

}  // namespace package
