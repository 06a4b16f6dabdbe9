/* A flush that fails, as a drive that fills up or goes while Windows writes
 * a file out to it. Preloaded (LD_PRELOAD) into a Wine process, which turns
 * FlushFileBuffers on a file into an fsync of it, this makes the next fsync
 * or fdatasync of a firmware file (a name ending in ".S19") fail once the
 * file named by WZ_FLUSH_FAILS (a real path) exists. Its one line says how, and the file is deleted as
 * the flush fails, so that each line fails one flush:
 *   ENOSPC lose-file    "Disk full" (ERROR_DISK_FULL), and the flushed file
 *                       is unlinked: its directory entry never reached
 *                       the drive
 *   ENXIO drop-drive    "no such device" (error 433), and every dosdevices
 *                       link of WZ_DOSDEVICES that points at the file's
 *                       folder goes: the device took the file and dropped
 *                       its drive
 *   ENXIO keep          "no such device", the drive and the file staying
 * Other errors name what Wine makes of them (seen with Wine 8, both widths):
 * ETIME is a timed-out transfer (ERROR_SEM_TIMEOUT, 121), ETIMEDOUT a
 * general failure (ERROR_GEN_FAILURE, 31), as a device that stopped
 * answering gives them; "drop-drive" and "keep" go with them as above.
 * Built for both widths, so that 64-bit and 32-bit programs are seen. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static void drop_links_to(const char* folder) {
    const char* devices = getenv("WZ_DOSDEVICES");
    DIR* dir = devices != NULL ? opendir(devices) : NULL;
    if (dir == NULL) return;
    struct dirent* entry;
    char link[PATH_MAX], target[PATH_MAX];
    while ((entry = readdir(dir)) != NULL) {
        snprintf(link, sizeof link, "%s/%s", devices, entry->d_name);
        if (realpath(link, target) != NULL && strcmp(target, folder) == 0) unlink(link);
    }
    closedir(dir);
}

/* Fails the flush of `fd` as the control file says; 0 when it does not. */
static int fail_as_told(int fd) {
    const char* control = getenv("WZ_FLUSH_FAILS");
    struct stat st;
    char line[64] = "", errname[16] = "", action[32] = "", proc[64], path[PATH_MAX];
    if (control == NULL || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(proc, path, sizeof path - 1);
    if (n < 5) return 0;
    path[n] = '\0';
    if (strcmp(path + n - 4, ".S19") != 0) return 0;
    FILE* told = fopen(control, "r");
    if (told == NULL) return 0;
    const int got = fgets(line, sizeof line, told) != NULL;
    fclose(told);
    if (!got || sscanf(line, "%15s %31s", errname, action) != 2) return 0;
    unlink(control);
    if (strcmp(action, "lose-file") == 0) unlink(path);
    if (strcmp(action, "drop-drive") == 0) {
        *strrchr(path, '/') = '\0';
        drop_links_to(path);
    }
    if (strcmp(errname, "ENOSPC") == 0) return ENOSPC;
    if (strcmp(errname, "ETIME") == 0) return ETIME;
    if (strcmp(errname, "ETIMEDOUT") == 0) return ETIMEDOUT;
    return ENXIO;
}

/* The flush `name` of `fd`, unless it is to fail. */
static int flush(int fd, const char* name) {
    const int error = fail_as_told(fd);
    if (error == 0) return ((int (*)(int))dlsym(RTLD_NEXT, name))(fd);
    errno = error;
    return -1;
}

int fsync(int fd) { return flush(fd, "fsync"); }
int fdatasync(int fd) { return flush(fd, "fdatasync"); }
