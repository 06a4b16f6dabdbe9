// A COM port that another program holds, as Windows shows it: preloaded
// into the Wine server (LD_PRELOAD), which opens a port for its clients by
// its dosdevices path with open(), this makes every open of the terminals
// named in WZ_HELD_PORTS (paths separated by ':', each resolved at the
// open: a dosdevices link names whatever terminal it points to then) fail
// with EACCES, which reaches the program as ERROR_ACCESS_DENIED. With
// WZ_HELD_WHILE set, only while the file it names exists: chart software
// that takes the port for a while. Wine itself lets any number of
// processes open a port, and root passes the checks that would refuse it
// (file modes, TIOCEXCL).
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#include <climits>
#include <cerrno>
#include <cstdarg>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool Held(const char* path) {
    const char* held = std::getenv("WZ_HELD_PORTS");
    const char* flag = std::getenv("WZ_HELD_WHILE");
    char real[PATH_MAX], entryReal[PATH_MAX];
    if (held == nullptr || (flag != nullptr && access(flag, F_OK) != 0) || realpath(path, real) == nullptr)
        return false;
    const std::string list = held;
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t end = std::min(list.find(':', at), list.size());
        const std::string entry = list.substr(at, end - at);
        if (!entry.empty() && realpath(entry.c_str(), entryReal) != nullptr && std::strcmp(real, entryReal) == 0)
            return true;
        at = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
    va_end(args);
    if (Held(path)) {
        errno = EACCES;
        return -1;
    }
    static const auto next = reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, "open"));
    return next(path, flags, mode);
}
