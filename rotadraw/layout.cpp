// Lays a tree out: places in in-order, each with its depth and children.

#include "draw.h"

#include <cstdlib>

static int
lay(const Tree *t, const Tree *up, int depth, Layout *l)
{
    if (t == nullptr)
        return -1;
    int left = lay(t->left, t, depth + 1, l);
    if (l->n == l->cap) {
        size_t cap = l->cap != 0 ? l->cap * 2 : 64;
        Place *more = (Place *)realloc(l->place, cap * sizeof *more);
        if (more == nullptr)
            outOfMemory();
        l->place = more;
        l->cap = cap;
    }
    int i = (int)l->n++;
    if (depth + 1 > l->rows)
        l->rows = depth + 1;
    int right = lay(t->right, t, depth + 1, l);
    l->place[i] = Place{t->a, depth, left, right, t, up, UNMARKED};
    return i;
}

void
layOut(const Tree *top, Layout *l)
{
    l->n = 0;
    l->rows = 0;
    lay(top, nullptr, 0, l);
}

// Rotations keep the in-order listing, and a step adds at most one node to
// it: so the two layouts line up place by place, but for the new node.
void
markMoved(Layout *l, const Layout *before)
{
    size_t j = 0;

    for (size_t i = 0; i < l->n; i++) {
        Place &p = l->place[i];
        if (j < before->n && before->place[j].node == p.node) {
            if (before->place[j].up != p.up)
                p.mark = MOVED;
            j++;
        } else {
            p.mark = MOVED;
        }
    }
}
