#include "sim_drive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace sim {
namespace {

bool MakeFolders(const std::string& dir) {
    std::string part;
    for (std::size_t i = 0; i <= dir.size(); ++i) {
        if (i == dir.size() || (dir[i] == '/' && i > 0)) {
            part = dir.substr(0, i);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

bool WriteFile(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

constexpr unsigned long long kMaxFillBytes = 64ull << 20;

}  // namespace

bool BootDrive::prepare(const std::string& label, std::string& error) {
    if (!MakeFolders(dir_) || !WriteFile(path(".windows-label"), label)) {
        error = "cannot prepare the drive folder " + dir_ + ": " + std::strerror(errno);
        return false;
    }
    ::unlink(path("READY.TXT").c_str());
    return true;
}

void BootDrive::makeReady() {
    if (!WriteFile(path("READY.TXT"), "READY\r\n")) {
        std::fprintf(stderr, "transponder_sim: cannot write READY.TXT: %s\n", std::strerror(errno));
    } else if (verbose_) {
        std::fprintf(stderr, "transponder_sim: READY.TXT written\n");
    }
}

bool BootDrive::hasImage() const {
    struct stat st;
    return ::stat(path("AIS_Firmware.S19").c_str(), &st) == 0;
}

void BootDrive::vanish(bool fill) {
    DIR* d = ::opendir(dir_.c_str());
    if (d != nullptr) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == ".." || name == ".windows-label") continue;
            ::unlink(path(name.c_str()).c_str());
        }
        ::closedir(d);
    }
    if (verbose_) std::fprintf(stderr, "transponder_sim: drive emptied\n");
    if (!fill) return;
    struct statvfs fs;
    if (::statvfs(dir_.c_str(), &fs) != 0) return;
    unsigned long long freeBytes = static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
    if (freeBytes > kMaxFillBytes) {
        std::fprintf(stderr, "transponder_sim: %s has %llu bytes free; not filling it\n", dir_.c_str(), freeBytes);
        return;
    }
    int fd = ::open(path(".fill").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    char block[4096] = {};
    while (::write(fd, block, sizeof block) > 0) {
    }
    // Whatever the last partial block can still take.
    while (::write(fd, block, 1) > 0) {
    }
    ::close(fd);
    if (verbose_) std::fprintf(stderr, "transponder_sim: drive filled\n");
}

}  // namespace sim
