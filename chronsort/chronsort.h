// What the rooms of chronsort share: the dates as read, and the steps of
// the run that the dialogue calls in turn.
#pragma once

#include <cstddef>
#include <cstdio>

#include <sys/stat.h>

struct Date {
    int day;
    int year;
    int month;
};

// The dates as read, in the order of the file.
struct Dates {
    Date *date;
    size_t n;
    size_t cap;
    size_t partial; // how many were cut short or out of range
};

enum Outcome { WHOLE_FILE, STOPPED, READ_ERROR, NO_MEMORY };

// A message on stderr as "chronsort: ...", after what stdout holds.
__attribute__((format(printf, 1, 2))) void complain(const char *fmt, ...);

// Doubles an array's capacity. Returns the array, or null when memory has
// run out, the old array being left as it was.
void *grow(void *p, size_t *cap, size_t size);

// Reading (read.cpp): dates until the end of the file or the first text
// that is not a number, each stop and oddity reported with name and line.
Outcome readDates(FILE *in, const char *name, Dates *t);

// Ordering (order.cpp): earliest first, equal dates in the file's order.
// A long sort tells `passes` after each pass how many it has made, and
// the most it can take.
typedef void (*Passes)(size_t done, size_t most);
void sortDates(Dates *t, Passes passes);

// Progress (progress.cpp): on a terminal's stderr, once a second has
// passed since startProgress. While *below says that the cursor stands
// after a prompt, the line goes below it, and then says no more.
void startProgress(bool *below);
void showProgress(size_t done, size_t most);
void endProgress();

// Files (files.cpp). Each returns whether it succeeded, errno saying why
// not; a file that changed has errno 0.
FILE *openInput(const char *name);
bool isFile(const struct stat *in, const char *name);
bool unchanged(int fd, const struct stat *was);
bool lock(int fd, int how, const char *name);
bool writeFile(const char *name, const Dates *t);
char *render(const Dates *t, size_t *len);
