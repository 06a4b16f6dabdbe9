#include "sim_pty.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

Pty::~Pty() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

bool Pty::open(bool busy, std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) {
        error = "ptsname failed";
        return false;
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0) {
        error = "cannot open " + slavePath_ + ": " + std::strerror(errno);
        return false;
    }
    termios t{};
    if (::tcgetattr(slave_, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    setIdleLine();
    if (busy && ::ioctl(slave_, TIOCEXCL) != 0) {
        error = std::string("TIOCEXCL failed: ") + std::strerror(errno);
        return false;
    }
    int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    return true;
}

// The kernel's termios2, which holds the speed as a number. Wine 8 sets a
// B code (B115200), Wine 10 the number itself (BOTHER); the kernel fills
// in the number for both.
struct KernelTermios2 {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};

std::string Pty::lineSettings() const {
    termios t{};
    KernelTermios2 t2{};
    if (::tcgetattr(slave_, &t) != 0 || ::ioctl(slave_, _IOR('T', 0x2A, KernelTermios2), &t2) != 0)
        return "unreadable";
    const std::string baud = std::to_string(static_cast<unsigned long>(t2.c_ospeed));
    int bits = 8;
    switch (t.c_cflag & CSIZE) {
        case CS5: bits = 5; break;
        case CS6: bits = 6; break;
        case CS7: bits = 7; break;
        default: break;
    }
    // The pseudo-terminal drops PARENB: parity shows as input parity
    // checking, which Wine turns on for every parity but none.
    const bool parity = (t.c_cflag & PARENB) != 0 || (t.c_iflag & INPCK) != 0;
    const char p = !parity ? 'N' : ((t.c_cflag & PARODD) != 0 ? 'O' : 'E');
    const int stop = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
    return baud + " " + std::to_string(bits) + p + std::to_string(stop);
}

void Pty::setIdleLine() {
    termios t{};
    if (::tcgetattr(slave_, &t) != 0) return;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARODD);
    t.c_cflag |= CS7 | PARENB | CSTOPB;  // the terminal keeps CS8 and drops PARENB
    t.c_iflag |= INPCK;
    ::tcsetattr(slave_, TCSANOW, &t);
}

bool PublishLink(const std::string& target, const std::string& link, std::string& error) {
    std::string temp = link + ".sim-tmp";
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), link.c_str()) != 0) {
        error = "cannot link " + link + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

void RetractLink(const std::string& target, const std::string& link) {
    char buffer[4096];
    ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) return;
    buffer[n] = '\0';
    if (target == buffer) ::unlink(link.c_str());
}

}  // namespace sim
