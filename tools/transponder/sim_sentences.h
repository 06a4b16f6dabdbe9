// What the simulated transponder says and what it recognises.
#pragma once

#include <string>

#include "sim_options.h"

namespace sim {

// "$<body>*hh\r\n" with the NMEA checksum of body.
std::string Sentence(const std::string& body);

// The bytes written in answer to one version query, in order, reporting
// `version` (options.version, or options.versionAfter after a restart).
std::string ComposeReply(const Options& options, const std::string& version);

// Whole position sentences of a GPS without a fix, as the transponder sends
// its own at a desk.
std::string GpsSentences();

// What a received line asks for.
enum class Request { None, VersionQuery, BootCommand };

// Splits received bytes into lines (LF-terminated) and tells what the
// complete ones ask for; incomplete bytes wait for the next call.
class LineReader {
public:
    // Appends `bytes`; returns the first request found in the complete
    // lines now available (later ones are kept for the next call).
    Request feed(const std::string& bytes);
    Request next();

private:
    std::string pending_;
};

}  // namespace sim
