#include "fds.h"

#include <cstdio>

#include <linux/kcmp.h>
#include <sys/syscall.h>
#include <unistd.h>

void
openOutputs(Descriptors &d, pid_t drawing)
{
    d.drawing = drawing;
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
    if (fd != 1 && fd != 2)
        return false;
    Outputs &known = d.known[pid];
    if (known.generation != d.generation)
        known = {d.generation, {-1, -1, -1}};
    if (known.ours[fd] >= 0)
        return known.ours[fd] != 0;
    char path[64];
    struct stat st;
    snprintf(path, sizeof path, "/proc/%d/fd/%ld", (int)tid, fd);
    bool found = stat(path, &st) == 0;
    bool ours = (found && d.outOpen &&
                 sameFile(d, st, d.outFile, d.outDevice, 1, tid, fd)) ||
                (found && d.errOpen &&
                 sameFile(d, st, d.errFile, d.errDevice, 2, tid, fd));
    known.ours[fd] = ours;
    return ours;
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
