#include "sim_drive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "sim_pty.h"

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

const char kImageName[] = "AIS_Firmware.S19";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

bool BootDrive::hasImage() const { return imageSize() >= 0; }

long long BootDrive::imageSize() const {
    struct stat st;
    return ::stat(path(kImageName).c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

void BootDrive::restart(const std::string& expected) {
    const std::string image = path(kImageName);
    if (!expected.empty()) {
        const bool same = ReadAll(image) == ReadAll(expected);
        std::fprintf(stderr, "transponder_sim: the image taken is %s %s\n", same ? "the same as" : "NOT the same as",
                     expected.c_str());
    }
    ::unlink(image.c_str());
    ::unlink(path("READY.TXT").c_str());
    if (verbose_) std::fprintf(stderr, "transponder_sim: READY.TXT and %s removed\n", kImageName);
}

void BootDrive::unplug() {
    if (link_.empty()) return;
    char linked[PATH_MAX], folder[PATH_MAX];
    struct stat st;
    if (::lstat(link_.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || ::realpath(link_.c_str(), linked) == nullptr ||
        ::realpath(dir_.c_str(), folder) == nullptr || std::strcmp(linked, folder) != 0) {
        if (verbose_) std::fprintf(stderr, "transponder_sim: drive link %s already gone\n", link_.c_str());
        return;
    }
    ::unlink(link_.c_str());
    if (verbose_) std::fprintf(stderr, "transponder_sim: drive link %s removed\n", link_.c_str());
}

void BootDrive::plugIn() {
    if (link_.empty()) return;
    char folder[PATH_MAX];
    std::string error;
    if (!PublishLink(::realpath(dir_.c_str(), folder) != nullptr ? folder : dir_, link_, error)) {
        std::fprintf(stderr, "transponder_sim: %s\n", error.c_str());
    } else if (verbose_) {
        std::fprintf(stderr, "transponder_sim: drive link %s made\n", link_.c_str());
    }
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

ImageWatch::~ImageWatch() {
    if (fd_ >= 0) ::close(fd_);
}

bool ImageWatch::start(const std::string& dir, std::string& error) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const uint32_t events = IN_OPEN | IN_CLOSE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    if (fd_ < 0 || ::inotify_add_watch(fd_, dir.c_str(), events) < 0) {
        error = "cannot watch " + dir + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool ImageWatch::take() {
    bool image = false;
    alignas(inotify_event) char events[4096];
    ssize_t n;
    while ((n = ::read(fd_, events, sizeof events)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW) {
                // Counts lost: take the file as closed and written.
                std::fprintf(stderr, "transponder_sim: drive events lost\n");
                opens_ = 0;
                written_ = image = true;
            }
            if (e->len == 0 || std::strcmp(e->name, kImageName) != 0) continue;
            image = true;
            if (e->mask & IN_OPEN) ++opens_;
            if ((e->mask & IN_CLOSE) && opens_ > 0) --opens_;
            if (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) written_ = true;
            // Another file under the name (its creating open follows):
            // opens of the one before no longer count.
            if (e->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) opens_ = 0;
        }
    }
    return image;
}

}  // namespace sim
