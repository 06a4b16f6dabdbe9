#include "sim_sentences.h"

#include <cstdio>

namespace sim {

std::string Sentence(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) sum ^= c;
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFF);
    return "$" + body + tail;
}

std::string ComposeReply(const Options& o, const std::string& version) {
    if (o.haveRawReply) return o.rawReply;
    std::string out;
    // Other output of the device: position reports of its own.
    const std::string noise = Sentence("AIALR,000000.00,001,V,V,SIM STATUS");
    while (static_cast<int>(out.size()) < o.noiseBytes) out += noise;
    out.resize(static_cast<std::size_t>(o.noiseBytes));

    const std::string model = o.modelLater ? "" : o.model;
    if (o.fewCommas) {
        out += Sentence("AIVER," + model + "," + version);
    } else {
        // Fields 1..8, the version in field 9, one more field after it.
        out += Sentence("AIVER," + model + ",SIM,00001234,000000000,HW1.0,,,," + version + ",BL1.2");
    }
    if (o.modelLater) out += Sentence("PSIM,MODEL," + o.model);
    return out;
}

std::string GpsSentences() { return Sentence("GPRMC,,V,,,,,,,,,,N") + Sentence("GPGSA,A,1,,,,,,,,,,,,,,,"); }

Request LineReader::feed(const std::string& bytes) {
    pending_ += bytes;
    return next();
}

Request LineReader::next() {
    for (;;) {
        std::size_t lf = pending_.find('\n');
        if (lf == std::string::npos) {
            // Keep a bounded tail: nothing the device knows is longer.
            if (pending_.size() > 4096) pending_.erase(0, pending_.size() - 64);
            return Request::None;
        }
        std::string line = pending_.substr(0, lf + 1);
        pending_.erase(0, lf + 1);
        if (line.find("!AIAIQ,VER*3C\r\n") != std::string::npos) return Request::VersionQuery;
        if (line.find("$PDBG,107,1,,,,,,*16\r\n") != std::string::npos) return Request::BootCommand;
    }
}

}  // namespace sim
