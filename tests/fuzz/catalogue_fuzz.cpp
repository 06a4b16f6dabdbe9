// Feeds arbitrary bytes to the catalogue reader as the catalogue's text and
// checks what it must always hold: the version text is zero-terminated, at
// most 79 characters, free of carriage returns and line feeds, and
// "Unknown" when no record was found.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "package/catalogue.h"
#include "package/catalogue_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // fmemopen refuses an empty buffer: an empty catalogue is one stand-in
    // byte, read past before the lookup.
    static uint8_t standIn = 0;
    std::FILE* stream = size ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : fmemopen(&standIn, 1, "rb");
    if (!stream) return 0;
    if (size == 0) std::fgetc(stream);
    char version[80];
    std::memset(version, 0x55, sizeof version);
    const bool found = package::FindCatalogueVersion(stream, package::kImageName, version);
    std::fclose(stream);

    const void* end = std::memchr(version, '\0', sizeof version);
    if (!end) std::abort();
    const size_t length = static_cast<const char*>(end) - version;
    if (length > package::kMaxVersionLength) std::abort();
    if (std::memchr(version, '\r', length) || std::memchr(version, '\n', length)) std::abort();
    if (!found && std::strcmp(version, "Unknown") != 0) std::abort();
    if (found && std::memchr(version, package::kEndOfTextByte, length)) std::abort();
    return 0;
}
