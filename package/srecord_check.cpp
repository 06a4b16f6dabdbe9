#include "package/srecord_check.h"

namespace package {

namespace {

constexpr char kEndOfFileByte = '\x1a';

// Bytes of the address field of each record type; 0 for no type.
std::size_t AddressLength(char type) {
    switch (type) {
        case '0': case '1': case '5': case '9': return 2;
        case '2': case '6': case '8': return 3;
        case '3': case '7': return 4;
        default: return 0;
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Hex(uint8_t byte) {
    const char* digits = "0123456789ABCDEF";
    return {digits[byte >> 4], digits[byte & 15]};
}

// A character as a reason names it: 'G', or the byte 07.
std::string Shown(char c) {
    if (c > ' ' && c < 0x7f) return std::string("'") + c + "'";
    return "the byte " + Hex(static_cast<uint8_t>(c));
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string Described(const SRecordFault& fault) {
    return "line " + std::to_string(fault.line) + ": " + fault.reason;
}

bool SRecordCheck::feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (start_ == Start::Unknown) {
            if (!sawFirst_) {
                sawFirst_ = true;
                firstIsS_ = c == 'S';
                continue;
            }
            start_ = firstIsS_ && c == '0' ? Start::SRecords : Start::Other;
            if (start_ == Start::Other) return false;
            take('S');
        }
        take(c);
        if (fault_) return false;
    }
    return start_ != Start::Other;
}

void SRecordCheck::fail(std::string reason) {
    if (!fault_) fault_ = SRecordFault{line_, std::move(reason)};
}

void SRecordCheck::take(char c) {
    if (endOfFileByte_) {
        fail("an end-of-file byte (1A) stands before the end of the file");
        return;
    }
    if (c == kEndOfFileByte) {
        endOfFileByte_ = true;  // at the very end of the file, it ends the text
        return;
    }
    if (c == '\n' && afterCr_) {  // CRLF: one line end
        afterCr_ = false;
        return;
    }
    afterCr_ = c == '\r';
    if (c == '\r' || c == '\n') {
        endLine();
        return;
    }
    if (terminatedAt_ != 0) {
        if (!IsBlank(c)) fail("more follows the termination record of line " + std::to_string(terminatedAt_));
        return;
    }
    switch (field_) {
        case Field::Begin:
            if (c == 'S')
                field_ = Field::Type;
            else
                fail(IsBlank(c) ? "a blank before the record" : "no record: the line begins with " + Shown(c));
            return;
        case Field::Type:
            if (AddressLength(c) == 0) {
                fail("S" + std::string(1, c) + " is no record type");
                return;
            }
            type_ = c;
            field_ = Field::Digits;
            return;
        case Field::Digits: {
            const int value = HexValue(c);
            if (value < 0) {
                if (IsBlank(c))
                    field_ = Field::Blanks;
                else
                    fail(Shown(c) + " is no hex digit");
                return;
            }
            if (digits_++ % 2 == 0) {
                high_ = static_cast<uint8_t>(value);
                return;
            }
            const uint8_t byte = static_cast<uint8_t>(high_ * 16 + value);
            if (bytes_ == 0) count_ = byte;
            else if (bytes_ <= AddressLength(type_)) address_ = address_ << 8 | byte;
            sum_ += byte;
            last_ = byte;
            ++bytes_;
            return;
        }
        case Field::Blanks:
            if (!IsBlank(c)) fail("a blank inside the record");
            return;
    }
}

std::optional<std::string> SRecordCheck::recordFault() const {
    if (field_ == Field::Type) return std::string("a record without its type");
    if (digits_ % 2 != 0) return std::string("an odd number of hex digits");
    if (bytes_ == 0) return std::string("a record without its byte count");
    if (bytes_ - 1 != count_)
        return "its byte count says " + std::to_string(count_) + " bytes, " + std::to_string(bytes_ - 1) + " follow";
    const std::size_t addressBytes = AddressLength(type_);
    const std::string name = std::string("an S") + type_ + " record";
    if (type_ >= '5' && count_ != addressBytes + 1)
        return name + " holds only its address, but its byte count says " + std::to_string(count_) + " bytes";
    if (count_ < addressBytes + 1) return "too short for " + name;
    const uint8_t expected = static_cast<uint8_t>(~(sum_ - last_));
    if (last_ != expected) return "the checksum is " + Hex(last_) + ", its bytes give " + Hex(expected);
    if ((type_ == '5' || type_ == '6') && address_ != dataRecords_)
        return "the count record gives " + std::to_string(address_) + " data records, " +
               std::to_string(dataRecords_) + " come before it";
    return std::nullopt;
}

void SRecordCheck::endLine() {
    if (terminatedAt_ == 0) {
        if (field_ == Field::Begin) {
            fail("an empty line where a record belongs");
        } else if (auto why = recordFault()) {
            fail(std::move(*why));
        } else if (type_ >= '1' && type_ <= '3') {
            ++dataRecords_;
        } else if (type_ >= '7') {
            terminatedAt_ = line_;
        }
    }
    ++line_;
    field_ = Field::Begin;
    type_ = 0;
    digits_ = bytes_ = 0;
    sum_ = address_ = 0;
    count_ = last_ = 0;
}

std::optional<SRecordFault> SRecordCheck::finish() {
    if (start_ != Start::SRecords || fault_) return fault_;
    // A last line that no line end closes.
    if (field_ != Field::Begin) {
        const bool whole = digits_ % 2 == 0 && bytes_ > 0 && bytes_ - 1 >= count_;
        if (!whole) {
            fail("the file ends in the middle of a record: it was cut short");
            return fault_;
        }
        endLine();
        if (fault_ || terminatedAt_ != 0) return fault_;
    }
    if (terminatedAt_ == 0) fail("the file ends before its last record: it was cut short");
    return fault_;
}

}  // namespace package
