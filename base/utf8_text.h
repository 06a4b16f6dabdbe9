// UTF-8: the program's paths and texts where its code page is UTF-8, and
// the texts from outside (the device's version, the catalogue's version) as
// the window shows them. Those arrive as UTF-8 when they are, and otherwise
// most likely in a single-byte Western code page (a catalogue saved as
// Latin-1): such a text is read as Windows-1252 rather than shown with
// replacement marks.
#pragma once

#include <string>
#include <string_view>

namespace base {

// True when the bytes are well-formed UTF-8: no stray continuation byte, no
// cut sequence, no overlong form, no surrogate, nothing above U+10FFFF.
bool IsUtf8(std::string_view bytes);

// The text in UTF-16: decoded as UTF-8 when it is that, otherwise byte by
// byte as Windows-1252 (bytes that code page leaves undefined keep their
// value, as Windows maps them).
std::u16string DisplayText(std::string_view bytes);

// The text in UTF-8, read as DisplayText reads it: kept when it is UTF-8,
// otherwise taken byte by byte as Windows-1252.
std::string Utf8Text(std::string_view bytes);

// The longest prefix of at most `maxBytes` bytes of a UTF-8 text that does
// not end inside a character.
std::size_t Utf8PrefixLength(std::string_view text, std::size_t maxBytes);

// How many bytes of a text from outside to keep, at most `maxBytes`: when
// the text is UTF-8 up to the end of the character at the limit, the kept
// part ends before that character rather than inside it; otherwise (read as
// Windows-1252, a character a byte) exactly `maxBytes`.
std::size_t TextCutLength(std::string_view text, std::size_t maxBytes);

}  // namespace base
