// The files: the input opened and locked, the output written, or the
// input rewritten in place.

#include "chronsort.h"

#include <cerrno>
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

// A write error may show only when the buffer is flushed, so the file
// counts as written once fclose has succeeded.
bool
writeFile(const char *name, const Dates *t)
{
    FILE *out = fopen(name, "w");
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

// Reserves the file's first len bytes on the disk. A reservation that fails
// may still have made the file longer, so its old length is put back.
static bool
reserve(int fd, size_t len)
{
    struct stat before, after;

    if (len == 0)
        return true;
    if (fstat(fd, &before) != 0)
        return false;
    int e = posix_fallocate(fd, 0, (off_t)len);
    if (e != 0 && fstat(fd, &after) == 0 && after.st_size > before.st_size)
        e = ftruncate(fd, before.st_size) == 0 ? e : errno;
    errno = e;
    return e == 0;
}

// The output is the input file itself. Its new text may be longer than the
// old (a date cut short gains the numbers it lacks), so the space for all of
// it is had before the first old byte is overwritten: on a full disk the
// file keeps its text. Written over the old text, it stays the same file,
// with its links, owner and mode.
bool
rewrite(int fd, const char *text, size_t len)
{
    if (!reserve(fd, len))
        return false;
    for (size_t at = 0; at < len;) {
        ssize_t w = pwrite(fd, text + at, len - at, (off_t)at);
        if (w < 0 && errno != EINTR)
            return false;
        if (w > 0)
            at += (size_t)w;
    }
    return ftruncate(fd, (off_t)len) == 0;
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

// Whether name is the input file: under its own name, through a link, or as
// /dev/fd/N of its open descriptor.
bool
isInput(const struct stat *in, const char *name)
{
    struct stat st;

    return S_ISREG(in->st_mode) && stat(name, &st) == 0 &&
           st.st_dev == in->st_dev && st.st_ino == in->st_ino;
}

bool
lock(int fd, int how)
{
    while (flock(fd, how) != 0)
        if (errno != EINTR)
            return false;
    return true;
}
