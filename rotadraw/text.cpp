// The text drawing: a row of values per depth, the root's first, and below
// each a row of edges drawn with box-drawing characters. Each value keeps
// the columns of its place in the in-order listing, so no two share one.

#include "draw.h"

#include <cstdlib>
#include <cstring>

enum Cell { BLANK, ACROSS, DOWN_RIGHT, DOWN_LEFT, UP_BOTH, UP_LEFT, UP_RIGHT };

static const char *const cellText[] = {" ", "─", "┌", "┐", "┴", "┘", "└"};

static const char *const colourOf[] = {"", "\033[1;33m", "\033[1;36m"};

// A value with its plain mark: 13 bytes at most.
static int
label(char *s, const Place &p, bool colour)
{
    const char *form = colour || p.mark == UNMARKED ? "%d"
                       : p.mark == MOVED            ? "%d*"
                                                    : "[%d]";
    return snprintf(s, 16, form, p.a);
}

static void
valueRow(FILE *out, const Layout *l, int depth, const int *x, bool colour)
{
    int at = 0;
    for (size_t i = 0; i < l->n; i++) {
        const Place &p = l->place[i];
        if (p.depth != depth)
            continue;
        char s[16];
        int w = label(s, p, colour);
        fprintf(out, "%*s", x[i] - at, "");
        if (colour && p.mark != UNMARKED)
            fprintf(out, "%s%s\033[0m", colourOf[p.mark], s);
        else
            fputs(s, out);
        at = x[i] + w;
    }
    fputc('\n', out);
}

// The edges from the nodes of one depth down to their children: a line
// from the left child's column to the right child's, joined to the parent's.
static void
edgeRow(FILE *out, const Layout *l, int depth, const int *mid, Cell *cells)
{
    int width = 0;
    for (size_t i = 0; i < l->n; i++) {
        const Place &p = l->place[i];
        if (p.depth != depth || (p.left < 0 && p.right < 0))
            continue;
        int from = p.left >= 0 ? mid[p.left] : mid[i];
        int to = p.right >= 0 ? mid[p.right] : mid[i];
        for (int c = width; c < from; c++)
            cells[c] = BLANK;
        for (int c = from; c <= to; c++)
            cells[c] = ACROSS;
        if (p.left >= 0)
            cells[from] = DOWN_RIGHT;
        if (p.right >= 0)
            cells[to] = DOWN_LEFT;
        cells[mid[i]] = p.left < 0 ? UP_RIGHT : p.right < 0 ? UP_LEFT : UP_BOTH;
        width = to + 1;
    }
    for (int c = 0; c < width; c++)
        fputs(cellText[cells[c]], out);
    fputc('\n', out);
}

void
writeText(FILE *out, const char *heading, const Layout *l, bool colour)
{
    fprintf(out, "%s\n", heading);
    if (l->n == 0)
        return;
    // Where each value starts, one blank after the one before, and the
    // column of its middle digit, where its edges meet it.
    int *x = (int *)malloc(2 * l->n * sizeof *x);
    if (x == nullptr)
        outOfMemory();
    int *mid = x + l->n;
    int at = 0;
    for (size_t i = 0; i < l->n; i++) {
        char s[16];
        int w = label(s, l->place[i], colour);
        const char *digits = strpbrk(s, "0123456789");
        x[i] = at;
        mid[i] = at + (int)(digits - s) +
                 ((int)strspn(digits, "0123456789") - 1) / 2;
        at += w + 1;
    }
    Cell *cells = (Cell *)malloc((size_t)at * sizeof *cells);
    if (cells == nullptr)
        outOfMemory();
    for (int d = 0; d < l->rows; d++) {
        valueRow(out, l, d, x, colour);
        if (d + 1 < l->rows)
            edgeRow(out, l, d, mid, cells);
    }
    free(cells);
    free(x);
}
