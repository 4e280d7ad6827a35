// The search tree: rotations, heights, the rebalancing pass, insertion with
// its trace, lookup and the in-order listing.

#include "tree.h"

#include <cstdio>
#include <cstdlib>

Tree *root = nullptr;

// malloc, not new: the C++ runtime's own reserve for new may be what could
// not be had, and its failure would abort rather than be reported.
Tree *
newNode(int a)
{
    Tree *t = (Tree *)malloc(sizeof *t);
    if (t == nullptr) {
        fflush(stdout);
        fputs("rotatree: out of memory\n", stderr);
        exit(1);
    }
    *t = Tree{a, nullptr, nullptr};
    return t;
}

int
height(Tree *top)
{
    if (top == nullptr)
        return 0;
    int hLeft = height(top->left);
    int hRight = height(top->right);
    return 1 + (hLeft > hRight ? hLeft : hRight);
}

void
rotateRight(Tree *&top)
{
    Tree *l = top->left;
    top->left = l->right;
    l->right = top;
    top = l;
}

void
rotateLeft(Tree *&top)
{
    Tree *r = top->right;
    top->right = r->left;
    r->left = top;
    top = r;
}

// The heights are taken once, before any rotation. A subtree that leans
// right rotates at most at its root and is not descended into; any other
// has both children of its (possibly new) root balanced in turn.
Tree *
balancer(Tree *top)
{
    if (top == nullptr)
        return nullptr;
    int hLeft = height(top->left);
    int hRight = height(top->right);
    if (hLeft > hRight && hRight + 1 < hLeft)
        rotateRight(top);
    if (hLeft < hRight) {
        if (hLeft + 1 < hRight)
            rotateLeft(top);
    } else {
        top->left = balancer(top->left);
        top->right = balancer(top->right);
    }
    return top;
}

// The trace lists the whole tree at every level of every insertion, so
// listing is nearly all of the program's work. Values are formatted here,
// as "%d " would, into a buffer of our own that goes to stdout in large
// blocks, and that is emptied before inorder returns so that the order of
// everything on stdout stays as written.
static char listing[1 << 16];
static size_t used;

static void
putValue(int a)
{
    if (used + 12 > sizeof listing) {
        fwrite(listing, 1, used, stdout);
        used = 0;
    }
    char *p = listing + used;
    unsigned u = (unsigned)a;
    if (a < 0) {
        *p++ = '-';
        u = 0u - u;
    }
    char digits[10];
    int k = 0;
    do {
        digits[k++] = (char)('0' + u % 10);
        u /= 10;
    } while (u != 0);
    while (k > 0)
        *p++ = digits[--k];
    *p++ = ' ';
    used = (size_t)(p - listing);
}

static void
list(Tree *top)
{
    for (; top != nullptr; top = top->right) {
        list(top->left);
        putValue(top->a);
    }
}

void
inorder(Tree *top)
{
    list(top);
    fwrite(listing, 1, used, stdout);
    used = 0;
}

// The link is stored before the trace, so that each trace block shows the
// tree with this level's rebalancing in place. Levels trace deepest first.
void
insert(int a, Tree *&top)
{
    Tree *t = top;
    if (t->a < a) {
        if (t->right != nullptr)
            insert(a, t->right);
        else
            t->right = newNode(a);
    } else {
        if (t->left != nullptr)
            insert(a, t->left);
        else
            t->left = newNode(a);
    }
    top = balancer(t);
    printf("\nIn Insert!\n");
    inorder(root);
    printf("\n\n");
}

Tree *
search(int a, Tree *top)
{
    while (top != nullptr && top->a != a)
        top = top->a < a ? top->right : top->left;
    return top;
}
