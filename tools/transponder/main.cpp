// A transponder on a pseudo-terminal, for tests and demonstrations: see
// --help. The device answers the version query until a boot command takes
// it into its boot loader, which brings up the boot drive; with
// --reboot-after it restarts once the image on that drive is complete, its
// port gone meanwhile, and comes back as --restart-into says (sim_device).
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>

#include "sim_device.h"
#include "sim_drive.h"
#include "sim_options.h"
#include "sim_pty.h"
#include "sim_sentences.h"

namespace {

volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

void InstallSignals() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 50);
            if (gStop) return;
        } else {
            return;
        }
    }
}

// Opens a log file afresh, empty; -1 with a note when it cannot be made.
int OpenLog(const std::string& path) {
    if (path.empty()) return -1;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    if (fd < 0) std::fprintf(stderr, "transponder_sim: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return fd;
}

void AppendLine(int fd, const std::string& line) {
    if (fd >= 0) WriteAll(fd, line + "\n");
}

// What the device understands: anything else is noise to it.
const char kDeviceLine[] = "115200 8N1";

const char* RequestName(sim::Request r) { return r == sim::Request::VersionQuery ? "query" : "boot"; }

void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int Run(const sim::Options& o) {
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) return 0;
    InstallSignals();

    std::string error;
    sim::BootDrive drive(o.driveDir, o.driveLink, o.verbose);
    if (drive.present() && !drive.prepare(o.label, error)) {
        std::fprintf(stderr, "transponder_sim: %s\n", error.c_str());
        return 1;
    }
    sim::ImageWatch watch;
    long long imageBytes = -1;
    if (o.rebootAfterMs >= 0) {
        struct stat st;
        if (!o.image.empty() && ::stat(o.image.c_str(), &st) != 0) {
            std::fprintf(stderr, "transponder_sim: cannot read %s: %s\n", o.image.c_str(), std::strerror(errno));
            return 1;
        }
        if (!o.image.empty()) imageBytes = static_cast<long long>(st.st_size);
        if (!watch.start(o.driveDir, error)) {
            std::fprintf(stderr, "transponder_sim: %s\n", error.c_str());
            return 1;
        }
    }
    const int record = OpenLog(o.recordFile);
    const int lineLog = OpenLog(o.lineLog);
    const int opensLog = OpenLog(o.opensLog);
    if ((record < 0 && !o.recordFile.empty()) || (lineLog < 0 && !o.lineLog.empty()) ||
        (opensLog < 0 && !o.opensLog.empty())) {
        return 1;
    }
    sim::Pty pty;
    if (!pty.open(o.busy, error)) {
        std::fprintf(stderr, "transponder_sim: %s\n", error.c_str());
        return 1;
    }
    // Our own descriptor of the terminal is open already: from here on,
    // every open is another process's.
    int opens = -1;
    if (opensLog >= 0) {
        opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (opens < 0 || ::inotify_add_watch(opens, pty.slavePath().c_str(), IN_OPEN) < 0) {
            std::fprintf(stderr, "transponder_sim: cannot watch %s: %s\n", pty.slavePath().c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    if (!o.pidFile.empty()) {
        FILE* f = std::fopen(o.pidFile.c_str(), "w");
        if (f != nullptr) {
            std::fprintf(f, "%d\n", static_cast<int>(::getpid()));
            std::fclose(f);
        }
    }
    // A device that starts in its boot loader and restarts later has no
    // port until then.
    const bool portNow = !(o.bootMode && o.rebootAfterMs >= 0);
    if (!o.link.empty() && portNow && !sim::PublishLink(pty.slavePath(), o.link, error)) {
        std::fprintf(stderr, "transponder_sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("pty=%s\n", pty.slavePath().c_str());
    std::fflush(stdout);

    const int master = pty.master();
    sim::Device device(o, [master](const std::string& bytes) { WriteAll(master, bytes); }, pty.slavePath(), drive,
                       o.rebootAfterMs >= 0 ? &watch : nullptr, imageBytes);
    device.start();
    sim::LineReader reader;
    char buffer[4096];
    while (!gStop) {
        // poll passes over the descriptors that are -1.
        pollfd fds[3] = {{pty.master(), POLLIN, 0}, {opens, POLLIN, 0}, {watch.fd(), POLLIN, 0}};
        const pollfd& p = fds[0];
        int timeout = device.nextTimeoutMs();
        int ready = ::poll(fds, 3, timeout < 0 ? 500 : timeout);
        if (ready > 0 && (fds[2].revents & POLLIN)) device.onImageEvents();
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            alignas(inotify_event) char events[4096];
            const ssize_t n = ::read(opens, events, sizeof events);
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(events + at);
                if (e->mask & IN_OPEN) AppendLine(opensLog, "open");
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        if (ready > 0 && (p.revents & POLLIN)) {
            ssize_t n = ::read(pty.master(), buffer, sizeof buffer);
            if (n > 0) {
                if (record >= 0 && ::write(record, buffer, static_cast<std::size_t>(n)) != n) {
                    std::fprintf(stderr, "transponder_sim: recording failed\n");
                }
                for (sim::Request r = reader.feed(std::string(buffer, static_cast<std::size_t>(n)));
                     r != sim::Request::None; r = reader.next()) {
                    // Judge the line this request came at, then put it back
                    // to idle before any answer: the next exchange finds
                    // 115200 8N1 only if the program sets it again.
                    const std::string line = pty.lineSettings();
                    pty.setIdleLine();
                    AppendLine(lineLog, std::string(RequestName(r)) + " " + line);
                    if (line != kDeviceLine) {
                        std::fprintf(stderr, "transponder_sim: %s at %s, not understood (the device listens at %s)\n",
                                     RequestName(r), line.c_str(), kDeviceLine);
                        continue;
                    }
                    device.onRequest(r);
                }
            }
        } else if (ready > 0 && p.revents != 0) {
            // Hang-up without a slave open cannot happen while we hold one;
            // do not spin if it does.
            SleepMs(5);
        }
        device.onTime();
        if (::getppid() != parent) break;
    }
    if (!device.portLink().empty()) sim::RetractLink(pty.slavePath(), device.portLink());
    if (!o.pidFile.empty()) ::unlink(o.pidFile.c_str());
    for (int fd : {record, lineLog, opensLog, opens}) {
        if (fd >= 0) ::close(fd);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    sim::Options options;
    bool help = false;
    if (!sim::ParseOptions(argc, argv, options, help)) return 2;
    if (help) return 0;
    return Run(options);
}
