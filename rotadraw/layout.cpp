// Lays a tree out: places in in-order, each with its depth and children,
// and marked when its node is one of those a step marks.

#include "draw.h"

#include <cstdlib>

void
addNode(Nodes *s, const Tree *t)
{
    makeRoom(s->at, s->cap, s->n + 1, 16);
    s->at[s->n++] = t;
}

static int
byAddress(const void *x, const void *y)
{
    const Tree *a = *(const Tree *const *)x, *b = *(const Tree *const *)y;
    return a < b ? -1 : a > b;
}

static int
lay(const Tree *t, int depth, Layout *l, const Nodes *marked, Mark mark)
{
    if (t == nullptr)
        return -1;
    int left = lay(t->left, depth + 1, l, marked, mark);
    makeRoom(l->place, l->cap, l->n + 1, 64);
    int i = (int)l->n++;
    if (depth + 1 > l->rows)
        l->rows = depth + 1;
    int right = lay(t->right, depth + 1, l, marked, mark);
    bool on = marked->n != 0 &&
              bsearch(&t, marked->at, marked->n, sizeof *marked->at, byAddress);
    l->place[i] = Place{t->a, depth, left, right, on ? mark : UNMARKED};
    return i;
}

void
layOut(const Tree *top, Layout *l, Nodes *marked, Mark mark)
{
    qsort(marked->at, marked->n, sizeof *marked->at, byAddress);
    l->n = 0;
    l->rows = 0;
    lay(top, 0, l, marked, mark);
}
