// A COM port that another program holds, as Windows shows it: preloaded
// into the Wine server (LD_PRELOAD), which opens a port for its clients by
// its dosdevices path with open(), this makes every open of the terminals
// named in WZ_HELD_PORTS (real paths, separated by ':') fail with EACCES,
// which reaches the program as ERROR_ACCESS_DENIED. Wine itself lets any
// number of processes open a port, and root passes the checks that would
// refuse it (file modes, TIOCEXCL).
#include <dlfcn.h>
#include <fcntl.h>
#include <climits>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <string>

extern "C" int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
    va_end(args);
    const char* held = std::getenv("WZ_HELD_PORTS");
    char real[PATH_MAX];
    if (held != nullptr && realpath(path, real) != nullptr &&
        (":" + std::string(held) + ":").find(":" + std::string(real) + ":") != std::string::npos) {
        errno = EACCES;
        return -1;
    }
    static const auto next = reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, "open"));
    return next(path, flags, mode);
}
