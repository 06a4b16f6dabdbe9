// Evaluation of one read and the version parse, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/utf8_text.h"
#include "serial/version_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string received(reinterpret_cast<const char*>(data), size);
    const auto line = serial::EvaluateReply(received);
    if (!line) return 0;
    // The line starts with the reply sentence and stays within its bounds.
    if (line->compare(0, 7, "$AIVER,") != 0 || line->size() > serial::kReplyLineMax) std::abort();
    if (line->find('\0') != std::string::npos) std::abort();
    const std::size_t lf = line->find('\n');
    if (lf != std::string::npos && lf + 1 != line->size()) std::abort();
    if (const auto version = serial::VersionOfReplyLine(*line)) {
        if (version->size() > serial::kDeviceVersionMax || version->find(',') != std::string::npos) std::abort();
        if (!serial::HasCommaCount(line->c_str(), 10)) std::abort();
        // The cut at kDeviceVersionMax splits no character of a UTF-8 line.
        if (base::IsUtf8(*line) && !base::IsUtf8(*version)) std::abort();
    }
    return 0;
}
