// For the programs that open files and quote text in their messages: the
// standard streams made safe before any file is opened, and text made safe
// to show.
#pragma once

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Text from a file or a name, fit for a message: a non-printable byte as
// \ooo, a backslash or quote escaped, long text cut with "...", so that
// nothing in the data can drive or flood the user's terminal.
struct Shown {
    char s[100];
};

inline Shown
shown(const char *text, size_t n)
{
    Shown r;
    size_t k = 0;

    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)text[i];
        char one[5];
        int len;
        if (c == '\\' || c == '"')
            len = snprintf(one, sizeof one, "\\%c", c);
        else if (isprint(c))
            len = snprintf(one, sizeof one, "%c", c);
        else
            len = snprintf(one, sizeof one, "\\%03o", c);
        if (k + (size_t)len + sizeof "..." > sizeof r.s) {
            strcpy(r.s + k, "...");
            return r;
        }
        memcpy(r.s + k, one, (size_t)len);
        k += (size_t)len;
    }
    r.s[k] = '\0';
    return r;
}

inline Shown
shown(const char *text)
{
    return shown(text, strlen(text));
}

// Makes sure descriptors 0, 1 and 2 are open, with /dev/null in place of a
// closed one, so that no file opened later becomes a standard stream and
// takes in a prompt or a message. Returns whether stdout was closed (its
// text then goes nowhere), or -1 when /dev/null can't be opened.
inline int
openStdStreams()
{
    int outClosed = 0;

    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        if (open("/dev/null", O_RDWR) != fd)
            return -1;
        if (fd == 1)
            outClosed = 1;
    }
    return outClosed;
}

// The standard stream, of descriptor `first` to standard error, that is the
// file `file` describes, by name; null when none is. A file written over
// would take with it what that stream reads or writes.
inline const char *
streamOf(const struct stat *file, int first)
{
    static const char *const names[] = {"standard input", "standard output",
                                        "standard error"};
    struct stat st;

    for (int fd = first; fd <= 2; fd++)
        if (fstat(fd, &st) == 0 && st.st_dev == file->st_dev &&
            st.st_ino == file->st_ino)
            return names[fd];
    return nullptr;
}
