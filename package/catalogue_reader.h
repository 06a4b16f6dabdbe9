// Reading the firmware catalogue's text: the line rules and the record
// lookup, on an open stream so that tests and the fuzzer can feed bytes
// from memory.
#pragma once

#include <cstddef>
#include <cstdio>

namespace package {

// Longest piece of a line taken at a time, the line feed included and
// carriage returns not counted; the rest of a longer line comes as a line
// of its own.
constexpr std::size_t kMaxLineChunk = 99;
// Longest version text kept, in bytes; a longer field is cut to this
// length, or before a UTF-8 character that the cut would split.
constexpr std::size_t kMaxVersionLength = 79;
constexpr int kEndOfTextByte = 26;  // Ctrl-Z

// Hands out the catalogue's text one line (at most kMaxLineChunk bytes)
// at a time. Carriage returns are dropped; the end of the stream or a
// Ctrl-Z byte ends the text.
class CatalogueText {
public:
    explicit CatalogueText(std::FILE* stream) : stream_(stream) {}

    // Reads the next line into `line` (zero-terminated) and gives its
    // length; false at the end of the text, when no byte was left.
    bool nextLine(char (&line)[kMaxLineChunk + 1], std::size_t& length);

private:
    std::FILE* stream_;
    bool ended_ = false;
};

// Looks up the first record of `key` in the catalogue text of `stream` and
// writes its version field into `destination`. Returns true when a record
// was found; at the end of the text without one, writes "Unknown" and
// returns false.
//
// A record is a line holding `key` as an exact byte sequence and at least
// one comma; a line holding the key but no comma has no version field and
// is passed over like any other line, so a later record can still be found.
bool FindCatalogueVersion(std::FILE* stream, const char* key, char (&destination)[kMaxVersionLength + 1]);

}  // namespace package
