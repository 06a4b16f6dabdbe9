/* What the program has Windows write through to a disk: preloaded into the
 * program's Wine process (LD_PRELOAD), this logs every fsync and fdatasync,
 * which Wine makes for FlushFileBuffers on a file, with the real path
 * behind the descriptor, the file's size then and the time, one line each to
 * the file named by WZ_FLUSH_LOG:
 * "fsync /tmp/x/drive/AIS_Firmware.S19 4194304 1765200000.250000000".
 * Built for both widths, so that 64-bit and 32-bit programs are seen. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static void note(const char* call, int fd) {
    const char* logPath = getenv("WZ_FLUSH_LOG");
    if (logPath == NULL) return;
    char link[64], path[PATH_MAX], line[PATH_MAX + 64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n < 0) return;
    path[n] = '\0';
    struct stat st;
    const long long size = fstat(fd, &st) == 0 ? (long long)st.st_size : -1;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const int length = snprintf(line, sizeof line, "%s %s %lld %lld.%09ld\n", call, path, size,
                                (long long)now.tv_sec, now.tv_nsec);
    const int out = open(logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (out < 0) return;
    if (length > 0 && write(out, line, (size_t)length) < 0) { /* nothing more to do */ }
    close(out);
}

int fsync(int fd) {
    static int (*next)(int);
    if (next == NULL) next = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    note("fsync", fd);
    return next(fd);
}

int fdatasync(int fd) {
    static int (*next)(int);
    if (next == NULL) next = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    note("fdatasync", fd);
    return next(fd);
}
