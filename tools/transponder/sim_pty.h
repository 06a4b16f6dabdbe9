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

    // Creates the pair, sets the line raw and keeps a slave descriptor of
    // our own open, so that the master never sees a hang-up while the
    // program on the other side closes and reopens the port.
    // With `busy`, the line is put in exclusive mode (TIOCEXCL): opens
    // from others fail with EBUSY, as when another program holds the port
    // (processes with CAP_SYS_ADMIN are exempt).
    bool open(bool busy, std::string& error);
    int master() const { return master_; }
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
