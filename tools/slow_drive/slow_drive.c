/* A boot loader that takes its firmware file at its own pace: it keeps its
 * drive busy as it writes its flash, so that the close that makes the file
 * whole, or the flush of what Windows still holds, takes long and then
 * succeeds. Preloaded (LD_PRELOAD) into the program's Wine process alone:
 * the program writes, closes and flushes a file through descriptors of its
 * own, and a Wine server that waited would hold every program of the
 * prefix. Settings, from the environment:
 *   WZ_SLOW_FILE      real path of the firmware file on the drive folder
 *   WZ_SLOW_SIZE      its whole size in bytes
 *   WZ_SLOW_CLOSE_MS  the first close() in this process of a descriptor
 *                     open for writing on the whole file waits this long
 *                     before it closes (the copy's own close; a later
 *                     reopen's close goes at once)
 *   WZ_SLOW_FLUSH_MS  each fsync() or fdatasync() of the file waits this
 *                     long before it flushes
 *   WZ_SLOW_LOG       optional: a line per wait, with the process
 * Built for both widths, so that 64-bit and 32-bit programs are seen. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static int closeLingered = 0;

/* Milliseconds of `name` in the environment, or 0; always 0 in the Wine
 * server, which may inherit the program's environment when the program
 * starts it. */
static long setting(const char* name) {
    const char* text = getenv(name);
    if (text == NULL || strncmp(program_invocation_short_name, "wineserver", 10) == 0) return 0;
    return atol(text);
}

/* True when `fd` is a descriptor of the whole firmware file. */
static int whole_file(int fd) {
    const char* file = getenv("WZ_SLOW_FILE");
    const char* size = getenv("WZ_SLOW_SIZE");
    char proc[64], path[PATH_MAX];
    struct stat st;
    if (file == NULL || size == NULL) return 0;
    snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(proc, path, sizeof path - 1);
    if (n < 0) return 0;
    path[n] = '\0';
    return strcmp(path, file) == 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
           (long long)st.st_size == atoll(size);
}

static void wait_ms(const char* what, int fd, long ms) {
    char line[160];
    const char* logPath = getenv("WZ_SLOW_LOG");
    struct timespec rest = {ms / 1000, (ms % 1000) * 1000000L};
    if (logPath != NULL) {
        const int length = snprintf(line, sizeof line, "%s of fd %d waits %ld ms in pid %d (%d-bit)\n", what, fd, ms,
                                    (int)getpid(), (int)(sizeof(void*) * 8));
        const int out = open(logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (out >= 0) {
            if (length > 0 && write(out, line, (size_t)length) < 0) { /* nothing more to do */ }
            ((int (*)(int))dlsym(RTLD_NEXT, "close"))(out);
        }
    }
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {}
}

int close(int fd) {
    static int (*next)(int);
    if (next == NULL) next = (int (*)(int))dlsym(RTLD_NEXT, "close");
    const int saved = errno;
    const long ms = setting("WZ_SLOW_CLOSE_MS");
    if (ms > 0 && !closeLingered && (fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDONLY && whole_file(fd)) {
        closeLingered = 1;
        wait_ms("close", fd, ms);
    }
    errno = saved;
    return next(fd);
}

static int flush(int fd, const char* name) {
    const long ms = setting("WZ_SLOW_FLUSH_MS");
    if (ms > 0 && whole_file(fd)) wait_ms(name, fd, ms);
    return ((int (*)(int))dlsym(RTLD_NEXT, name))(fd);
}

int fsync(int fd) { return flush(fd, "fsync"); }
int fdatasync(int fd) { return flush(fd, "fdatasync"); }
