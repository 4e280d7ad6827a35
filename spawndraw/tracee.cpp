#include "tracee.h"

#include "events.h"

#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

// A page at a time, so that a string that ends just before an unmapped
// page is still read.
size_t
readMemory(pid_t tid, unsigned long long addr, char *to, size_t n)
{
    size_t got = 0;
    while (got < n) {
        size_t page = 4096 - (size_t)((addr + got) % 4096);
        size_t want = n - got < page ? n - got : page;
        struct iovec local = {to + got, want};
        struct iovec remote = {(void *)(uintptr_t)(addr + got), want};
        ssize_t r = process_vm_readv(tid, &local, 1, &remote, 1, 0);
        if (r <= 0)
            break;
        got += (size_t)r;
    }
    return got;
}

std::string
readString(pid_t tid, unsigned long long addr, size_t max)
{
    std::string s;
    char chunk[256];
    while (addr != 0 && s.size() < max) {
        size_t got = readMemory(tid, addr, chunk, sizeof chunk);
        if (got == 0)
            break;
        size_t len = strnlen(chunk, got);
        s.append(chunk, len);
        if (len < got)
            break;
        addr += got;
    }
    if (s.size() > max)
        s.resize(max);
    return s;
}

Arguments
readArgv(pid_t tid, unsigned long long addr)
{
    Arguments a;
    size_t kept = 0;
    for (; addr != 0; addr += sizeof(unsigned long long)) {
        unsigned long long p;
        if (readMemory(tid, addr, (char *)&p, sizeof p) != sizeof p || p == 0)
            break;
        a.argc++;
        if (kept < MAX_ARG_BYTES) {
            a.argv.push_back(readString(tid, p, MAX_ARG_BYTES - kept));
            kept += a.argv.back().size() + 1;
        }
        if (a.argc >= INT_MAX)
            break;
    }
    return a;
}

std::string
readProgram(pid_t tid, Arguments *args)
{
    char path[64], exe[PATH_MAX];
    snprintf(path, sizeof path, "/proc/%d/exe", (int)tid);
    ssize_t n = readlink(path, exe, sizeof exe - 1);
    *args = Arguments();
    snprintf(path, sizeof path, "/proc/%d/cmdline", (int)tid);
    FILE *f = fopen(path, "re");
    std::string all;
    char chunk[4096];
    size_t got;
    while (f != nullptr && all.size() < MAX_ARG_BYTES &&
           (got = fread(chunk, 1, sizeof chunk, f)) > 0)
        all.append(chunk, got);
    if (f != nullptr)
        fclose(f);
    for (size_t at = 0; at < all.size();) {
        size_t end = all.find('\0', at);
        if (end == std::string::npos)
            end = all.size();
        args->argv.push_back(all.substr(at, end - at));
        args->argc++;
        at = end + 1;
    }
    return n > 0 ? std::string(exe, (size_t)n) : "?";
}

bool
readPosition(pid_t tid, long fd, long long *pos)
{
    char path[64], line[128];
    snprintf(path, sizeof path, "/proc/%d/fdinfo/%ld", (int)tid, fd);
    FILE *f = fopen(path, "re");
    bool found = false;
    while (f != nullptr && !found && fgets(line, sizeof line, f) != nullptr)
        found = sscanf(line, "pos: %lld", pos) == 1;
    if (f != nullptr)
        fclose(f);
    return found;
}

size_t
readFile(pid_t tid, long fd, long long at, char *to, size_t n)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/fd/%ld", (int)tid, fd);
    // Not a FIFO's: opening one could block, and would take its bytes.
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    int in = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return 0;
    size_t got = 0;
    while (got < n) {
        ssize_t r = pread(in, to + got, n - got, at + (long long)got);
        if (r <= 0)
            break;
        got += (size_t)r;
    }
    close(in);
    return got;
}

pid_t
readParent(pid_t pid)
{
    char path[64], text[512];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    // pid (comm) state ppid: the name may hold anything, even ") ".
    const char *close = strrchr(text, ')');
    int ppid;
    if (close == nullptr || sscanf(close + 1, " %*c %d", &ppid) != 1)
        return 0;
    return ppid;
}

void
readIds(pid_t tid, pid_t *tgid, pid_t *ppid)
{
    char path[64], text[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)tid);
    FILE *f = fopen(path, "re");
    *tgid = tid;
    *ppid = 0;
    while (f != nullptr && fgets(text, sizeof text, f) != nullptr) {
        if (strncmp(text, "Tgid:", 5) == 0)
            *tgid = (pid_t)atoi(text + 5);
        else if (strncmp(text, "PPid:", 5) == 0)
            *ppid = (pid_t)atoi(text + 5);
    }
    if (f != nullptr)
        fclose(f);
}

bool
readBlocked(pid_t tid, long *call, unsigned long long *arg)
{
    char path[64], text[256];
    snprintf(path, sizeof path, "/proc/%d/syscall", (int)tid);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return false;
    text[n] = '\0';
    return sscanf(text, "%ld %llx", call, arg) == 2;
}

int
nextPipeEnd(pid_t tid)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/fd", (int)tid);
    DIR *dir = opendir(path);
    if (dir == nullptr)
        return -1;
    std::vector<bool> held;
    while (struct dirent *d = readdir(dir)) {
        char *end;
        long fd = strtol(d->d_name, &end, 10);
        // Only the lowest matter: those far up need no room.
        if (*end != '\0' || fd < 0 || fd >= 4096)
            continue;
        if ((size_t)fd >= held.size())
            held.resize((size_t)fd + 1);
        held[(size_t)fd] = true;
    }
    closedir(dir);
    int found = 0;
    for (size_t fd = 0;; fd++)
        if ((fd >= held.size() || !held[fd]) && ++found == 2)
            return (int)fd;
}

bool
readMapping(pid_t tid, unsigned long long at, unsigned long long *lo,
            unsigned long long *hi)
{
    char path[64], line[512];
    snprintf(path, sizeof path, "/proc/%d/maps", (int)tid);
    FILE *f = fopen(path, "re");
    if (f == nullptr)
        return false;
    bool found = false;
    while (!found && fgets(line, sizeof line, f) != nullptr)
        found = sscanf(line, "%llx-%llx", lo, hi) == 2 && *lo <= at && at < *hi;
    fclose(f);
    return found;
}

bool
ignoresChildren(pid_t pid)
{
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE *f = fopen(path, "re");
    if (f == nullptr)
        return false;
    bool ignores = false;
    while (fgets(line, sizeof line, f) != nullptr)
        if (strncmp(line, "SigIgn:", 7) == 0)
            ignores = (strtoull(line + 7, nullptr, 16) >> (SIGCHLD - 1)) & 1;
    fclose(f);
    return ignores;
}
