// For the programs that replace a file's text in place: the same file, with
// its links, owner and mode, and never half old and half new.
#pragma once

#include "signals.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Reserves the file's first len bytes on the disk. A reservation that fails
// may still have made the file longer, so its old length is put back.
inline bool
reserve(int fd, size_t len)
{
    struct stat before, after;

    if (len == 0)
        return true;
    if (fstat(fd, &before) != 0)
        return false;
    int e = posix_fallocate(fd, 0, (off_t)len);
    // Where the file system can't reserve, glibc writes into each block
    // instead, which a file open only for writing refuses: it is then
    // written without a reservation.
    if (e == EBADF)
        e = 0;
    if (e != 0 && fstat(fd, &after) == 0 && after.st_size > before.st_size)
        e = ftruncate(fd, before.st_size) == 0 ? e : errno;
    errno = e;
    return e == 0;
}

// The new text may be longer than the old, so the space for all of it is
// had before the first old byte is overwritten: on a full disk, or past
// the limit of a file's size, the file keeps its text.
inline bool
overwrite(int fd, const char *text, size_t len)
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

// A signal that would end the run halfway would leave new text up to where
// the write stopped and old text after it. Every signal that can be held
// off waits until the file is whole, and then acts; only SIGKILL can't.
inline bool
rewrite(int fd, const char *text, size_t len)
{
    sigset_t was;
    holdSignals(&was);
    bool ok = overwrite(fd, text, len);
    int e = errno;
    sigprocmask(SIG_SETMASK, &was, nullptr);
    errno = e;
    return ok;
}
