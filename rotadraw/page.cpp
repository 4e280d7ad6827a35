// The web page: one self-contained file. Its markup, style and script are
// page.html, page.css and page.js, built in as they are; between its start
// and its end goes the run, line by line as it happens, for the script to
// replay. Only numbers and rotadraw's own words go into it.

#include "draw.h"

#include <cstdarg>

extern const char pageStartText[];
extern const char pageEndText[];

void
pageStart(FILE *page)
{
    fputs(pageStartText, page);
}

void
pageLine(FILE *page, const char *fmt, ...)
{
    va_list ap;

    va_start(ap, fmt);
    vfprintf(page, fmt, ap);
    va_end(ap);
}

void
pageEnd(FILE *page)
{
    fputs(pageEndText, page);
}
