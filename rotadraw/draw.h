// rotadraw's rooms: the run (what each step did, from the tree module's
// hooks), the layout (where each node goes in a picture: its column is its
// place in the in-order listing, its row its depth), and two writers, the
// text drawing and the web page.
#pragma once

#include <cstddef>
#include <cstdio>

#include "buffer.h"
#include "tree.h"

enum Mark {
    UNMARKED,
    MOVED, // new, or moved by a rotation in this step
    PATH,  // on the lookup's way down
};

struct Place {
    int a;
    int depth;       // 0 for the root
    int left, right; // the children's places, or -1
    Mark mark;
};

// One place per node, in in-order.
struct Layout {
    Place *place;
    size_t n;
    size_t cap;
    int rows;
};

// A growing array of pointers, for the nodes a step marks.
struct Nodes {
    const Tree **at;
    size_t n;
    size_t cap;
};

// Which steps the text draws: every one, or only these (and the lookup).
enum Show {
    SHOW_ALL = 0,
    SHOW_ROTATIONS = 1, // the first value's, and those that rotate
    SHOW_LAST = 2,      // the tree after the last insertion
};

// Where the run is drawn, as the options and the surroundings ask.
struct Drawing {
    FILE *text;    // stdout, or null once it has failed
    int textError; // why it failed
    bool colour;
    int width; // of the terminal, or 0
    int show;
    bool explain;  // each step's heading followed by what it checked
    bool sideways; // each tree drawn on its side
    bool cut;      // a drawing was cut at the terminal's width, and said
    FILE *page;    // or null
};

extern Drawing drawing;

// The run (steps.cpp). A step is the first value's, one level of an
// insertion (where rotatree prints a trace block), or the lookup. Values
// go in and are looked up with the tree module's own code; its hooks tell
// what each step did.
void startRun();
void insertValue(int a);
void endInsertions();
void lookUp(int a);
void noteFailure(const char *why);
void writeSummary(FILE *out);

// The layout (layout.cpp). Lays out the tree below top, replacing what l
// held, with the nodes in `marked` marked as `mark`.
void layOut(const Tree *top, Layout *l, Nodes *marked, Mark mark);
void addNode(Nodes *s, const Tree *t);

// The text (text.cpp). Writes the heading line and the drawing, the root at
// the top or, on its side, at the left. With colour, marks are colours of
// the terminal's; without, plain characters: a moved node's value is
// followed by *, and one on the path stands in [ ]. Rows wider than `width`
// columns (0: no limit) are cut at it, and the cut marked; returns whether
// any was.
bool writeText(FILE *out, const char *heading, const Layout *l, bool colour,
               int width, bool onItsSide);
// The columns of the drawing's widest row, upright.
int textWidth(const Layout *l, bool colour);

// The web page (page.cpp): its start, the run as data line by line, and its end
// with the script that draws it.
void pageStart(FILE *page);
void pageLine(FILE *page, const char *fmt, ...)
    __attribute__((format(printf, 2, 3)));
void pageEnd(FILE *page);
