// Where each node of a tree goes in a picture, worked out once: its column
// is its place in the in-order listing, its row its depth. Two writers draw
// that layout, as text and as an SVG picture in a web page.
#pragma once

#include <cstddef>
#include <cstdio>

#include "memory.h"
#include "tree.h"

enum Mark {
    UNMARKED,
    MOVED, // new, or its parent changed in this step
    PATH,  // on the lookup's way down
};

struct Place {
    int a;
    int depth;        // 0 for the root
    int left, right;  // the children's places, or -1
    const Tree *node; // what the place shows, and its parent: to see
    const Tree *up;   // what moved from one picture to the next
    Mark mark;
};

// One place per node, in in-order.
struct Layout {
    Place *place;
    size_t n;
    size_t cap;
    int rows;
};

// Lays out the tree below top, replacing what l held.
void layOut(const Tree *top, Layout *l);

// Marks what moved since `before`, the tree's last layout: the nodes whose
// parent changed, and the node that is new.
void markMoved(Layout *l, const Layout *before);

// Writes the heading line and the drawing. With colour, marks are colours
// of the terminal's; without, plain characters: a moved node's value is
// followed by *, and one on the path stands in [ ].
void writeText(FILE *out, const char *heading, const Layout *l, bool colour);

// The web page: its start, one picture per step, and its end.
void pageStart(FILE *page);
void pageStep(FILE *page, const char *heading, const Layout *l);
void pageEnd(FILE *page);
