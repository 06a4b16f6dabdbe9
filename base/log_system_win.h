// The log for support on Windows, in UTF-8:
// %LOCALAPPDATA%\FirmwareUpgrade\FirmwareUpgrade.log of the user who runs
// the wizard. It is opened shared, so that it can be read or copied while
// the wizard runs, and stays open for the run once it is first written.
#pragma once

#include <string>

#include "base/log.h"
#include "base/unique_handle_win.h"

namespace win {

class LogFile final : public base::LogSystem {
public:
    std::string timeStamp() override;
    std::string runFacts() override;
    std::optional<uint64_t> open() override;
    std::optional<std::string> read() override;
    bool rewrite(std::string_view text) override;
    bool append(std::string_view text) override;
    std::string codePageText(std::string_view text) override;

private:
    KernelHandle file_;
};

// The log's folder: the environment's LOCALAPPDATA (set for every user
// since Windows Vista) and "\FirmwareUpgrade"; empty when it is not set.
std::wstring LogFolder();

}  // namespace win
