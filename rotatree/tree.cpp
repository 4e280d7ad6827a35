// The search tree: rotations, heights, the rebalancing pass, insertion with
// its trace, lookup and the in-order listing.

#include "tree.h"
#include "buffer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

Tree *root = nullptr;
void (*onMake)(const Tree *made) = nullptr;
void (*onTrace)() = nullptr;
void (*onRotate)(const Tree *top, bool right) = nullptr;
void (*onCheck)(const Tree *top, int hLeft, int hRight) = nullptr;

// The trace lists the whole tree at every level of every insertion, so
// listing is most of the program's work. Values are formatted here, as
// "%d " would, into text of our own that goes to stdout in large blocks.
// The listing of the whole tree that the trace writes; stale once a node
// has been made.
static Text listing;
static bool stale = true;

// malloc, not new: the C++ runtime's own reserve for new may be what could
// not be had, and its failure would abort rather than be reported.
Tree *
newNode(int a)
{
    Tree *t = (Tree *)malloc(sizeof *t);
    if (t == nullptr)
        outOfMemory();
    *t = Tree{a, nullptr, nullptr};
    stale = true;
    if (onMake != nullptr)
        onMake(t);
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
    if (onRotate != nullptr)
        onRotate(top, true);
    Tree *l = top->left;
    top->left = l->right;
    l->right = top;
    top = l;
}

void
rotateLeft(Tree *&top)
{
    if (onRotate != nullptr)
        onRotate(top, false);
    Tree *r = top->right;
    top->right = r->left;
    r->left = top;
    top = r;
}

// rotadraw's page shows the code from the line after this one down to
// "shown until here", each line that ends in "// acts: ..." marked when it
// does what it says, without that comment.
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
    if (onCheck != nullptr)
        onCheck(top, hLeft, hRight);
    if (hLeft > hRight && hRight + 1 < hLeft)
        rotateRight(top); // acts: turned right
    if (hLeft < hRight) { // acts: leans right
        if (hLeft + 1 < hRight)
            rotateLeft(top); // acts: turned left
    } else {
        top->left = balancer(top->left);   // acts: goes on down
        top->right = balancer(top->right); // acts: goes on down
    }
    return top;
}
// shown until here

static const char pairs[] =
    "00010203040506070809101112131415161718192021222324"
    "25262728293031323334353637383940414243444546474849"
    "50515253545556575859606162636465666768697071727374"
    "75767778798081828384858687888990919293949596979899";

// Two digits at a time, from the right, into a scratch of fixed size that
// is then copied whole: a value and its blank are 12 bytes at most.
static void
putValue(Text *t, int a)
{
    makeRoom(t->s, t->cap, t->len + 12, 1 << 12);
    char scratch[24];
    char *end = scratch + 12, *q = end;
    unsigned u = a < 0 ? 0u - (unsigned)a : (unsigned)a;
    *--q = ' ';
    for (; u >= 100; u /= 100)
        memcpy(q -= 2, pairs + 2 * (u % 100), 2);
    if (u >= 10)
        memcpy(q -= 2, pairs + 2 * u, 2);
    else
        *--q = (char)('0' + u);
    if (a < 0)
        *--q = '-';
    memcpy(t->s + t->len, q, 12);
    t->len += (size_t)(end - q);
}

static void
list(Tree *top, Text *t)
{
    for (; top != nullptr; top = top->right) {
        list(top->left, t);
        putValue(t, top->a);
    }
}

void
inorder(Tree *top)
{
    static Text text;

    text.len = 0;
    list(top, &text);
    if (text.len != 0) // an empty tree has had no text made for it
        fwrite(text.s, 1, text.len, stdout);
}

// Writes what inorder(root) would. Every insertion makes its node before
// its first trace, and after that only rotates, which never changes the
// order of the values: so the listing made at the first trace of an
// insertion holds for all of its levels, and is made once per insertion.
static void
traceListing()
{
    if (stale) {
        listing.len = 0;
        list(root, &listing);
        stale = false;
    }
    fwrite(listing.s, 1, listing.len, stdout);
}

static void
printTrace()
{
    printf("\nIn Insert!\n");
    traceListing();
    printf("\n\n");
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
    if (onTrace != nullptr)
        onTrace();
    else
        printTrace();
}

void
addValue(int a)
{
    if (root == nullptr)
        root = newNode(a);
    else
        insert(a, root);
}

Tree *
search(int a, Tree *top)
{
    while (top != nullptr && top->a != a)
        top = top->a < a ? top->right : top->left;
    return top;
}
