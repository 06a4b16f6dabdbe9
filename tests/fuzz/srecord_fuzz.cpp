// Arbitrary bytes for the S-record check, whole and in two pieces: both give
// the same verdict, only a text beginning with "S0" is checked, and a fault
// names a line of the text (or the one after its last) with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "package/srecord_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    package::SRecordCheck whole, split;
    whole.feed(text);
    const std::size_t cut = size ? data[0] % (size + 1) : 0;
    if (split.feed(text.substr(0, cut))) split.feed(text.substr(cut));
    const auto fault = whole.finish(), splitFault = split.finish();
    if (whole.checked() != (text.substr(0, 2) == "S0") || split.checked() != whole.checked()) std::abort();
    if (fault.has_value() != splitFault.has_value()) std::abort();
    if (!fault) return 0;
    std::size_t lines = 1;
    for (const char c : text) lines += c == '\n' || c == '\r';
    if (!whole.checked() || fault->reason.empty() || fault->line == 0 || fault->line > lines + 1) std::abort();
    if (fault->line != splitFault->line || fault->reason != splitFault->reason) std::abort();
    return 0;
}
