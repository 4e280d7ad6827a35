#include "fds.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>

#include <linux/kcmp.h>
#include <sys/syscall.h>
#include <unistd.h>

void
openOutputs(Descriptors &d, pid_t drawing)
{
    d.drawing = drawing;
    d.inOpen = fstat(0, &d.inFile) == 0;
    d.outOpen = fstat(1, &d.outFile) == 0;
    d.errOpen = fstat(2, &d.errFile) == 0;
    d.outDevice = d.outOpen && S_ISCHR(d.outFile.st_mode) && !isatty(1);
    d.errDevice = d.errOpen && S_ISCHR(d.errFile.st_mode) && !isatty(2);
}

// Whether tid's descriptor fd, which is the file st, is our descriptor
// ours, which is the file we. A device that is no terminal, such as
// /dev/null, is shared by every process that opens it: there, only the
// same open file counts, as the drawing still holds it.
static bool
sameFile(const Descriptors &d, const struct stat &st, const struct stat &we,
         bool device, int ours, pid_t tid, long fd)
{
    if (st.st_dev != we.st_dev || st.st_ino != we.st_ino)
        return false;
    if (!device)
        return true;
    long same = syscall(SYS_kcmp, d.drawing, tid, KCMP_FILE, ours, fd);
    return same == 0 || same < 0; // where kcmp can't tell, as the file says
}

bool
toOurOutput(Descriptors &d, pid_t pid, pid_t tid, long fd)
{
    // Output counts by where it goes: a dup of standard output above 2 is
    // looked at each time, since its close is not followed.
    if (fd < 0)
        return false;
    Outputs &known = d.known[pid];
    if (known.generation != d.generation)
        known = {d.generation, {-1, -1, -1}};
    if (fd <= 2 && known.ours[fd] >= 0)
        return known.ours[fd] != 0;
    char path[64];
    struct stat st;
    snprintf(path, sizeof path, "/proc/%d/fd/%ld", (int)tid, fd);
    bool found = stat(path, &st) == 0;
    bool ours = (found && d.outOpen &&
                 sameFile(d, st, d.outFile, d.outDevice, 1, tid, fd)) ||
                (found && d.errOpen &&
                 sameFile(d, st, d.errFile, d.errDevice, 2, tid, fd));
    if (fd <= 2)
        known.ours[fd] = ours;
    return ours;
}

Target
targetOf(Descriptors &d, pid_t tid, long fd)
{
    char path[64], link[4096];
    snprintf(path, sizeof path, "/proc/%d/fd/%ld", (int)tid, fd);
    ssize_t n = readlink(path, link, sizeof link - 1);
    if (n <= 0)
        return {Target::CLOSED, "closed", 0};
    link[n] = '\0';
    unsigned long long inode = 0;
    struct stat st;
    bool found = stat(path, &st) == 0;
    auto same = [&](bool open, const struct stat &s) {
        return found && open && st.st_dev == s.st_dev && st.st_ino == s.st_ino;
    };
    // Where the run's input and output are one file, the descriptor says
    // which. /dev/null is named as itself above 0: a shell's "> /dev/null"
    // is no use of the run's input, even where that is /dev/null too.
    bool output = same(d.outOpen, d.outFile) || same(d.errOpen, d.errFile);
    if (same(d.inOpen, d.inFile) &&
        (fd == 0 || (!output && strcmp(link, "/dev/null") != 0)))
        return {Target::OTHER, "the run's input", 0};
    if (output)
        return {Target::OTHER, "the run's output", 0};
    if (sscanf(link, "pipe:[%llu]", &inode) == 1) {
        auto p = d.pipes.emplace(inode, (int)d.pipes.size() + 1).first;
        return {Target::PIPE, "pipe " + std::to_string(p->second), inode};
    }
    if (strncmp(link, "socket:", 7) == 0)
        return {Target::SOCKET, "a socket", 0};
    if (strcmp(link, "/dev/null") == 0)
        return {Target::NULLDEV, "/dev/null", 0};
    if (strncmp(link, "/dev/pts/", 9) == 0 || strncmp(link, "/dev/tty", 8) == 0)
        return {Target::TERMINAL, "the terminal", 0};
    if (link[0] == '/' && found && S_ISREG(st.st_mode))
        return {Target::FILE, link, 0};
    return {Target::OTHER, link, 0};
}

// The flags that descriptor fd of pid was opened with, as /proc says; -1
// where it can't tell.
static long
openFlags(pid_t pid, long fd)
{
    char info[64], line[128];
    snprintf(info, sizeof info, "/proc/%d/fdinfo/%ld", (int)pid, fd);
    FILE *f = fopen(info, "re");
    long flags = -1;
    while (f != nullptr && fgets(line, sizeof line, f) != nullptr)
        if (strncmp(line, "flags:", 6) == 0)
            flags = strtol(line + 6, nullptr, 8);
    if (f != nullptr)
        fclose(f);
    return flags;
}

bool
readsOnly(pid_t pid, long fd)
{
    long flags = openFlags(pid, fd);
    return flags >= 0 && (flags & O_ACCMODE) == O_RDONLY;
}

std::vector<Holder>
holders(const std::vector<pid_t> &pids, unsigned long long inode, bool writing)
{
    std::vector<Holder> found;
    char want[64];
    snprintf(want, sizeof want, "pipe:[%llu]", inode);
    for (pid_t pid : pids) {
        char path[64];
        snprintf(path, sizeof path, "/proc/%d/fd", (int)pid);
        DIR *dir = opendir(path);
        for (struct dirent *e; dir != nullptr && (e = readdir(dir));) {
            char fdPath[320], link[64];
            snprintf(fdPath, sizeof fdPath, "%s/%s", path, e->d_name);
            ssize_t n = readlink(fdPath, link, sizeof link - 1);
            if (n <= 0)
                continue;
            link[n] = '\0';
            if (strcmp(link, want) != 0)
                continue;
            // The end it holds: the access mode of its open file.
            long flags = openFlags(pid, atol(e->d_name));
            if (flags >= 0 && ((flags & O_ACCMODE) == O_WRONLY) == writing)
                found.push_back({pid, atoi(e->d_name)});
        }
        if (dir != nullptr)
            closedir(dir);
    }
    return found;
}

void
mayChange(Descriptors &d, unsigned long long fd)
{
    if (fd <= 2)
        d.generation++;
}

void
forget(Descriptors &d, pid_t pid)
{
    d.known.erase(pid);
}
