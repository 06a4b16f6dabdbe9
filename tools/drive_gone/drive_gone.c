/* A boot drive that goes the moment its firmware file is whole, as a boot
 * loader that takes the file at the close that completes it does.
 * Preloaded (LD_PRELOAD) into the program's Wine process and into the Wine
 * server, this removes the drive's dosdevices link inside the close() of
 * any descriptor of the firmware file, once the file has its whole size:
 * the link is gone before that close returns, so any later open through the
 * drive letter fails. A simulator that watches the folder would learn of
 * the close only afterwards, too late to stop the program's next open.
 *
 * Under Wine the server and the program each hold a descriptor of an open
 * file and both close theirs when the handle is closed; whichever comes
 * first removes the link. Settings, from the environment:
 *   WZ_DRIVE_GONE_FILE  real path of the firmware file on the drive folder
 *   WZ_DRIVE_GONE_SIZE  its whole size in bytes
 *   WZ_DRIVE_GONE_LINK  the drive's link, $WINEPREFIX/dosdevices/e:
 *   WZ_DRIVE_GONE_LOG   optional: a line per removal, with the process
 *
 * Only a file written while the link was there takes the drive away (its
 * change time is not older than the link): a descriptor of an earlier
 * image closed after the device brought its drive back leaves the new link
 * alone. The link goes once; later closes find it gone.
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
#include <unistd.h>

static int not_older(const struct timespec* a, const struct timespec* b) {
    return a->tv_sec > b->tv_sec || (a->tv_sec == b->tv_sec && a->tv_nsec >= b->tv_nsec);
}

static void note(const char* logPath, const char* link, int fd) {
    char comm[64] = "?", line[PATH_MAX + 160];
    const int c = open("/proc/self/comm", O_RDONLY | O_CLOEXEC);
    if (c >= 0) {
        const ssize_t n = read(c, comm, sizeof comm - 1);
        comm[n > 0 ? n : 0] = '\0';
        comm[strcspn(comm, "\n")] = '\0';
        close(c);
    }
    const int length = snprintf(line, sizeof line, "removed %s at the close of fd %d in %s (pid %d, %d-bit)\n",
                                link, fd, comm, (int)getpid(), (int)(sizeof(void*) * 8));
    const int out = open(logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (out < 0) return;
    if (length > 0 && write(out, line, (size_t)length) < 0) { /* nothing more to do */ }
    close(out);
}

static void take_drive_if_whole(int fd) {
    const char* file = getenv("WZ_DRIVE_GONE_FILE");
    const char* size = getenv("WZ_DRIVE_GONE_SIZE");
    const char* link = getenv("WZ_DRIVE_GONE_LINK");
    if (file == NULL || size == NULL || link == NULL) return;
    char proc[64], path[PATH_MAX];
    snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(proc, path, sizeof path - 1);
    if (n < 0) return;
    path[n] = '\0';
    struct stat st, ln;
    if (strcmp(path, file) != 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        (long long)st.st_size != atoll(size) || lstat(link, &ln) != 0 || !S_ISLNK(ln.st_mode) ||
        !not_older(&st.st_ctim, &ln.st_ctim)) {
        return;
    }
    if (unlink(link) == 0 && getenv("WZ_DRIVE_GONE_LOG") != NULL) note(getenv("WZ_DRIVE_GONE_LOG"), link, fd);
}

int close(int fd) {
    static int (*next)(int);
    if (next == NULL) next = (int (*)(int))dlsym(RTLD_NEXT, "close");
    const int saved = errno;
    take_drive_if_whole(fd);
    errno = saved;
    return next(fd);
}
