// The files: the input opened and locked, the output written, or the
// input rewritten in place.

#include "chronsort.h"
#include "rewrite.h"
#include "safeio.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

static bool
writeDates(FILE *out, const Dates *t)
{
    for (size_t i = 0; i < t->n; i++) {
        const Date &d = t->date[i];
        if (fprintf(out, "%d/%d/%d ", d.day, d.month, d.year) < 0)
            return false;
    }
    return true;
}

// Another run may be writing this very file, or sorting it in place: it
// is emptied only once it is locked, so that whichever run locks it last
// leaves its own dates in it. Files that are not regular are neither
// locked nor cut.
static FILE *
openOutput(const char *name)
{
    struct stat st;

    int fd = open(name, O_WRONLY | O_CREAT | O_NOCTTY, 0666);
    if (fd < 0)
        return nullptr;
    bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && (!lock(fd, LOCK_EX, name) || ftruncate(fd, 0) != 0)) {
        int e = errno;
        close(fd);
        errno = e;
        return nullptr;
    }
    FILE *out = fdopen(fd, "w");
    if (out == nullptr)
        close(fd);
    return out;
}

// A write error may show only when the buffer is flushed, so the file
// counts as written once fclose has succeeded.
bool
writeFile(const char *name, const Dates *t)
{
    FILE *out = openOutput(name);
    if (out == nullptr)
        return false;
    bool ok = writeDates(out, t);
    int saved = errno;
    if (fclose(out) != 0)
        return false;
    errno = saved;
    return ok;
}

// The new text, in memory, for rewriting the input file in place.
char *
render(const Dates *t, size_t *len)
{
    char *text = nullptr;
    FILE *mem = open_memstream(&text, len);
    if (mem == nullptr)
        return nullptr;
    bool ok = writeDates(mem, t);
    if (fclose(mem) != 0 || !ok) {
        free(text);
        return nullptr;
    }
    return text;
}

// A FIFO is read to its end: opened for update as well, this program would
// itself be a writer, and the end would never come. Any other file is
// opened for update, so it must be writable although it is only read.
FILE *
openInput(const char *name)
{
    struct stat st;

    bool fifo = stat(name, &st) == 0 && S_ISFIFO(st.st_mode);
    return fopen(name, fifo ? "r" : "r+");
}

// Whether name is the file that `in` describes: under its own name,
// through a link, or as /dev/fd/N of its open descriptor.
bool
isFile(const struct stat *in, const char *name)
{
    struct stat st;

    return stat(name, &st) == 0 && st.st_dev == in->st_dev &&
           st.st_ino == in->st_ino;
}

// Whether the file is still as `was` describes it. Another program may
// write to it without taking the lock; what it wrote changes the size or
// the times.
bool
unchanged(int fd, const struct stat *was)
{
    struct stat st;

    if (fstat(fd, &st) != 0)
        return false;
    errno = 0;
    return st.st_size == was->st_size &&
           st.st_mtim.tv_sec == was->st_mtim.tv_sec &&
           st.st_mtim.tv_nsec == was->st_mtim.tv_nsec &&
           st.st_ctim.tv_sec == was->st_ctim.tv_sec &&
           st.st_ctim.tv_nsec == was->st_ctim.tv_nsec;
}

// A run that waits for a lock says so, since otherwise it would seem to
// hang.
bool
lock(int fd, int how, const char *name)
{
    if (flock(fd, how | LOCK_NB) == 0)
        return true;
    if (errno != EWOULDBLOCK && errno != EINTR)
        return false;
    complain("%s: waiting for another run or program to release the file",
             shown(name).s);
    while (flock(fd, how) != 0)
        if (errno != EINTR)
            return false;
    return true;
}
