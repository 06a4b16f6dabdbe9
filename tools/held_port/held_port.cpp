// A COM port that another program holds, as Windows shows it: preloaded
// into the Wine server (LD_PRELOAD), which opens files for its clients,
// this makes every open of the terminals named in WZ_HELD_PORTS (real
// paths, separated by ':') fail with EACCES, which reaches the program as
// ERROR_ACCESS_DENIED. Wine itself lets any number of processes open a
// port, and root passes the checks that would refuse it (file modes,
// TIOCEXCL).
#include <dlfcn.h>
#include <fcntl.h>
#include <climits>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <string>

namespace {

// True when `path` (relative to `dir`) is the real path of a held terminal.
bool Held(int dir, const char* path) {
    const char* held = std::getenv("WZ_HELD_PORTS");
    if (held == nullptr || path == nullptr) return false;
    std::string name = path;
    if (name[0] != '/' && dir != AT_FDCWD) name = "/proc/self/fd/" + std::to_string(dir) + "/" + name;
    char real[PATH_MAX];
    if (realpath(name.c_str(), real) == nullptr) return false;
    return (":" + std::string(held) + ":").find(":" + std::string(real) + ":") != std::string::npos;
}

mode_t ModeOf(int flags, va_list args) { return (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0; }

template <typename Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

#define HELD_OPEN(name)                                                              \
    extern "C" int name(const char* path, int flags, ...) {                          \
        va_list args;                                                                \
        va_start(args, flags);                                                       \
        const mode_t mode = ModeOf(flags, args);                                     \
        va_end(args);                                                                \
        if (Held(AT_FDCWD, path)) return errno = EACCES, -1;                         \
        static const auto next = Next<int (*)(const char*, int, ...)>(#name);        \
        return next(path, flags, mode);                                              \
    }
#define HELD_OPENAT(name)                                                            \
    extern "C" int name(int dir, const char* path, int flags, ...) {                 \
        va_list args;                                                                \
        va_start(args, flags);                                                       \
        const mode_t mode = ModeOf(flags, args);                                     \
        va_end(args);                                                                \
        if (Held(dir, path)) return errno = EACCES, -1;                              \
        static const auto next = Next<int (*)(int, const char*, int, ...)>(#name);   \
        return next(dir, path, flags, mode);                                         \
    }

HELD_OPEN(open)
HELD_OPEN(open64)
HELD_OPENAT(openat)
HELD_OPENAT(openat64)
