// The pseudo-terminal the simulated transponder listens on.
#pragma once

#include <string>

namespace sim {

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Creates the pair, sets the line raw at the idle settings and keeps a
    // slave descriptor of our own open, so that the master never sees a
    // hang-up while the program on the other side closes and reopens the
    // port.
    // With `busy`, the line is put in exclusive mode (TIOCEXCL): opens
    // from others fail with EBUSY, as when another program holds the port
    // (processes with CAP_SYS_ADMIN are exempt).
    bool open(bool busy, std::string& error);
    int master() const { return master_; }
    // The line as the program on the other side last set it, such as
    // "115200 8N1"; "unreadable" when tcgetattr fails. A Linux pseudo-
    // terminal keeps the speed, the stop bits and PARODD it is given, but
    // always holds 8 data bits and drops PARENB: the data bits therefore
    // always read 8, and parity is read from input parity checking
    // (INPCK), which Wine's SetCommState turns on for every parity but
    // none.
    std::string lineSettings() const;
    // Puts the line back to idle: 9600 baud, even parity (INPCK on), 2 stop
    // bits, read as "9600 8E2" (7 data bits are asked for, but the terminal
    // keeps 8). A program that sets nothing finds it so.
    void setIdleLine();
    const std::string& slavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Makes `link` a symbolic link to `target` in one step (no moment without it).
bool PublishLink(const std::string& target, const std::string& link, std::string& error);
// Removes `link` if it still points to `target`.
void RetractLink(const std::string& target, const std::string& link);

}  // namespace sim
