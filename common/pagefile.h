// A program's web page (or spawndraw's record), written to a file named by
// the user as the shell's > writes one, but never leaving a file half written:
// a regular file gets the page only once it is whole. Messages go to stderr.
#pragma once

#include <cstdio>

// Opens the page's file, at the start; null, having said why, when it
// can't be written.
FILE *openPage(const char *name);

// Writes the whole page to its file and closes it; false, having said why,
// when the page didn't reach it.
bool closePage(FILE *page, const char *name);

// Gives up the page: a file that was there is left as it was, and one made
// for the page is removed.
void abandonPage(FILE *page);

// Whether two pages open at once are the one regular file, by any of its
// names: the second would write over the first.
bool samePageFile(FILE *a, FILE *b);
