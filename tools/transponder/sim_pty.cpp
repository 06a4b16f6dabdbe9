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
        ::cfsetispeed(&t, B115200);
        ::cfsetospeed(&t, B115200);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    if (busy && ::ioctl(slave_, TIOCEXCL) != 0) {
        error = std::string("TIOCEXCL failed: ") + std::strerror(errno);
        return false;
    }
    int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    return true;
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
