// The text drawing: a row of values per depth, the root's first, and below
// each a row of edges drawn with box-drawing characters. Each value keeps
// the columns of its place in the in-order listing, so no two share one.

#include "draw.h"

#include <algorithm>

#include <cstdlib>
#include <cstring>

enum Cell { BLANK, ACROSS, DOWN_RIGHT, DOWN_LEFT, UP_BOTH, UP_LEFT, UP_RIGHT };

static const char *const cellText[] = {" ", "─", "┌", "┐", "┴", "┘", "└"};

// A moved node in reverse video, the lookup's way underlined: marks that
// read on a light terminal and a dark one alike, in colour or not.
static const char *const colourOf[] = {"", "\033[1;7;33m", "\033[1;4;36m"};

static void
putBlanks(Text *r, int n)
{
    for (; n > 0; n--)
        putText(r, " ", 1);
}

// A row wider than the terminal would wrap and break the edges: it is cut
// to the `width` columns from `from` on, and each edge where it is cut
// shows an ellipsis in its last column. Colours take no columns, and are
// all written, so that those before the window still hold in it; each
// character of UTF-8 takes one column. Returns whether it was cut.
static bool
writeRow(FILE *out, const Text *r, int width, int from, bool colour)
{
    int total = 0;
    for (size_t i = 0; i < r->len; i++) {
        if (r->s[i] == '\033') {
            while (i + 1 < r->len && r->s[i] != 'm')
                i++;
            continue;
        }
        total += ((unsigned char)r->s[i] & 0xc0) != 0x80;
    }
    if (width <= 0 || (from == 0 && total <= width)) {
        fwrite(r->s, 1, r->len, out);
        fputc('\n', out);
        return false;
    }
    bool left = from > 0, right = total > from + width;
    int first = from + left, end = from + width - right; // written as they are
    if (left)
        fputs("…", out);
    bool shown = false;
    for (size_t i = 0, column = 0; i < r->len; i++) {
        if (r->s[i] == '\033') {
            size_t start = i;
            while (i + 1 < r->len && r->s[i] != 'm')
                i++;
            fwrite(r->s + start, 1, i - start + 1, out);
            continue;
        }
        if (((unsigned char)r->s[i] & 0xc0) != 0x80) {
            shown = (int)column >= first && (int)column < end;
            column++;
        }
        if (shown)
            fputc(r->s[i], out);
    }
    fputs(right ? (colour ? "\033[0m…\n" : "…\n") : "\n", out);
    return true;
}

// A value with its plain mark: 13 bytes at most.
static int
label(char *s, const Place &p, bool colour)
{
    const char *form = colour || p.mark == UNMARKED ? "%d"
                       : p.mark == MOVED            ? "%d*"
                                                    : "[%d]";
    return snprintf(s, 16, form, p.a);
}

// The columns a value's label takes. Without colour, a column is kept
// after every value for the mark of a moved one, so that the drawings of a
// run don't shift sideways from one step to the next.
static int
slot(const char *s, int w, bool colour)
{
    const char *digits = strpbrk(s, "0123456789");
    int end = (int)(digits - s) + (int)strspn(digits, "0123456789");
    return colour ? w : std::max(w, end + 1);
}

static void
valueRow(Text *r, const Layout *l, int depth, const int *x, bool colour)
{
    int at = 0;
    for (size_t i = 0; i < l->n; i++) {
        const Place &p = l->place[i];
        if (p.depth != depth)
            continue;
        char s[16];
        int w = label(s, p, colour);
        putBlanks(r, x[i] - at);
        if (colour && p.mark != UNMARKED) {
            putText(r, colourOf[p.mark], strlen(colourOf[p.mark]));
            putText(r, s, (size_t)w);
            putText(r, "\033[0m", 4);
        } else {
            putText(r, s, (size_t)w);
        }
        at = x[i] + w;
    }
}

// The edges from the nodes of one depth down to their children: a line
// from the left child's column to the right child's, joined to the parent's.
static void
edgeRow(Text *r, const Layout *l, int depth, const int *mid, Cell *cells)
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
        putText(r, cellText[cells[c]], strlen(cellText[cells[c]]));
}

static void
putLabel(Text *r, const Place &p, bool colour)
{
    char s[16];
    int w = label(s, p, colour);
    if (colour && p.mark != UNMARKED)
        putText(r, colourOf[p.mark], strlen(colourOf[p.mark]));
    putText(r, s, (size_t)w);
    if (colour && p.mark != UNMARKED)
        putText(r, "\033[0m", 4);
}

// The tree on its side: the root at the left, the largest value at the
// top, a value a line, each depth two columns right of its parent's
// whatever the values' widths. A node's bar runs from the line of the
// child above it to that of the child below, through its own value;
// `prefix` holds the bars of the nodes above this one in the tree.
struct Sideways {
    FILE *out;
    const Layout *l;
    bool colour;
    int width;
    bool cut;
    Text prefix, line;
};

static void
sideways(Sideways *d, int i, bool top, bool above)
{
    const Place &p = d->l->place[i];
    size_t mark = d->prefix.len;
    // The bars a child's lines carry: this node's own, between it and its
    // parent, for the lines on that side of it.
    const char *toRight = top ? "" : above ? "  " : "│ ";
    const char *toLeft = top ? "" : above ? "│ " : "  ";
    if (p.right >= 0) {
        putText(&d->prefix, toRight, strlen(toRight));
        sideways(d, p.right, false, true);
        d->prefix.len = mark;
    }
    d->line.len = 0;
    putText(&d->line, d->prefix.s, d->prefix.len);
    if (!top)
        putText(&d->line, above ? "┌─" : "└─", strlen("┌─"));
    putLabel(&d->line, p, d->colour);
    d->cut = writeRow(d->out, &d->line, d->width, 0, d->colour) || d->cut;
    if (p.left >= 0) {
        putText(&d->prefix, toLeft, strlen(toLeft));
        sideways(d, p.left, false, false);
        d->prefix.len = mark;
    }
}

int
textWidth(const Layout *l, bool colour)
{
    int at = 0;
    for (size_t i = 0; i < l->n; i++) {
        char s[16];
        int w = label(s, l->place[i], colour);
        at += slot(s, w, colour) + 1;
    }
    return at - 1;
}

// The first column shown of a drawing `total` columns wide, cut to `width`:
// what the step marks (its new or moved nodes, the lookup's way), or else
// the root, in the middle as far as the drawing allows; of marks too far
// apart to show together, the deepest (the new node, the lookup's end).
static int
window(const Layout *l, const int *x, int total, int width)
{
    if (width <= 0 || total <= width)
        return 0;
    int lo = total, hi = 0, deepest = -1;
    for (int pass = 0; pass < 2 && lo > hi; pass++)
        for (size_t i = 0; i < l->n; i++)
            if (pass == 0 ? l->place[i].mark != UNMARKED
                          : l->place[i].depth == 0) {
                int end = i + 1 < l->n ? x[i + 1] - 1 : total;
                lo = x[i] < lo ? x[i] : lo;
                hi = end > hi ? end : hi;
                if (deepest < 0 || l->place[i].depth > l->place[deepest].depth)
                    deepest = (int)i;
            }
    // Room for an ellipsis at each edge.
    if (hi - lo > width - 2) {
        lo = x[deepest];
        hi = deepest + 1 < (int)l->n ? x[deepest + 1] - 1 : total;
    }
    int from = (lo + hi) / 2 - width / 2;
    return from < 0 ? 0 : from > total - width ? total - width : from;
}

bool
writeText(FILE *out, const char *heading, const Layout *l, bool colour,
          int width, bool onItsSide)
{
    fprintf(out, "%s\n", heading);
    if (l->n == 0)
        return false;
    if (onItsSide) {
        static Sideways d;
        d.out = out;
        d.l = l;
        d.colour = colour;
        d.width = width;
        d.cut = false;
        d.prefix.len = 0;
        for (size_t i = 0; i < l->n; i++)
            if (l->place[i].depth == 0)
                sideways(&d, (int)i, true, false);
        return d.cut;
    }
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
        int n = (int)strspn(digits, "0123456789");
        x[i] = at;
        mid[i] = at + (int)(digits - s) + (n - 1) / 2;
        at += slot(s, w, colour) + 1;
    }
    Cell *cells = (Cell *)malloc((size_t)at * sizeof *cells);
    if (cells == nullptr)
        outOfMemory();
    int from = window(l, x, at - 1, width);
    static Text row;
    bool cut = false;
    for (int d = 0; d < l->rows; d++) {
        row.len = 0;
        valueRow(&row, l, d, x, colour);
        cut = writeRow(out, &row, width, from, colour) || cut;
        if (d + 1 < l->rows) {
            row.len = 0;
            edgeRow(&row, l, d, mid, cells);
            cut = writeRow(out, &row, width, from, colour) || cut;
        }
    }
    free(cells);
    free(x);
    return cut;
}
