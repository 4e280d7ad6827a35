// The run, step by step. Values go in and are looked up with the tree
// module's own code, whose hooks tell what each step did: the text draws
// the steps it is asked for, and the page gets every step as data, which
// its script replays.

#include "draw.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

Drawing drawing;

// Nodes are numbered as they are made, which is the order of the values:
// the page names a rotation's node by its number. A node's number is found
// from its address, in a table of open addressing at most half full.
struct Numbers {
    const Tree **key;
    int *number;
    size_t cap; // a power of two
    size_t n;
};

static Numbers numbers;

static size_t
slot(const Numbers *m, const Tree *t)
{
    uint64_t h = (uint64_t)(uintptr_t)t * 0x9e3779b97f4a7c15u;
    size_t i = (size_t)(h >> 32) & (m->cap - 1);
    while (m->key[i] != nullptr && m->key[i] != t)
        i = (i + 1) & (m->cap - 1);
    return i;
}

static void
setNumber(Numbers *m, const Tree *t, int number)
{
    if (2 * (m->n + 1) > m->cap) {
        Numbers bigger = {nullptr, nullptr, m->cap != 0 ? 2 * m->cap : 64, 0};
        bigger.key = (const Tree **)calloc(bigger.cap, sizeof *bigger.key);
        bigger.number = (int *)malloc(bigger.cap * sizeof *bigger.number);
        if (bigger.key == nullptr || bigger.number == nullptr)
            outOfMemory();
        for (size_t i = 0; i < m->cap; i++)
            if (m->key[i] != nullptr)
                setNumber(&bigger, m->key[i], m->number[i]);
        free(m->key);
        free(m->number);
        *m = bigger;
    }
    size_t i = slot(m, t);
    m->n += m->key[i] == nullptr;
    m->key[i] = t;
    m->number[i] = number;
}

static int
numberOf(const Tree *t)
{
    return numbers.number[slot(&numbers, t)];
}

// The insertion under way.
static struct {
    int value;
    int node;          // the number of its node
    int levels, level; // the levels it traces, and the last that has
    Text data;         // the insertion as the page holds it
    Nodes way;         // the nodes its way down passed
} insertion;

// The step under way in it.
static struct {
    Text turns;   // its rotations, in words
    Text why;     // with --explain, what its checks decided
    int checks;   // the nodes its balancing checked
    Text named;   // with --explain, the first of them by value
    Nodes moved;  // the nodes it made or moved
    Text heading; // and its drawing's
    // Where the balancing left a subtree alone: risers[k] rose in the turn
    // at turned[k]; below stops[k] nothing was checked, for the turn or
    // the lean at stoppedAt[k].
    Nodes risers, turned, stops, stoppedAt;
    Nodes turnedNodes; // every node a turn moved, once
} step;

// The step before, which the end of the insertions may still draw.
static struct {
    Text heading;
    Nodes moved;
    bool drawn;
} last;

// The whole run's numbers.
static struct {
    long rotations;
    long heightKept; // rotations that left their subtree's height as it was
    int *plainDepth; // by node: its depth had no node ever rotated
    size_t plainCap;
    int plainHeight;
} run;

static Layout now;

// A step's heading and its drawing, when the text is still wanted.
static void
drawText(const Text *heading, Nodes *marked, Mark mark)
{
    if (drawing.text == nullptr)
        return;
    layOut(root, &now, marked, mark);
    // Said before the first drawing that is cut, not after the last, which
    // may be hundreds of drawings later.
    if (!drawing.cut && !drawing.sideways && drawing.width > 0 &&
        textWidth(&now, drawing.colour) > drawing.width) {
        fflush(drawing.text);
        fprintf(stderr, "rotadraw: drawings wider than the terminal are cut "
                        "at its edges, around what each step marks; "
                        "--sideways, or less -S, shows them whole\n");
        drawing.cut = true;
    }
    writeText(drawing.text, heading->s, &now, drawing.colour, drawing.width,
              drawing.sideways);
    if (ferror(drawing.text)) {
        drawing.textError = errno;
        drawing.text = nullptr;
    }
}

// The step has been drawn or passed over: it becomes the last, which the
// end of the insertions may still draw.
static void
endStep(bool drawn)
{
    Text heading = last.heading;
    last.heading = step.heading;
    step.heading = heading;
    step.heading.len = 0;
    Nodes moved = last.moved;
    last.moved = step.moved;
    step.moved = moved;
    step.moved.n = 0;
    step.turns.len = 0;
    last.drawn = drawn;
}

// The node that the insertion under way makes: numbered, and moved.
static void
noteMade(const Tree *t)
{
    setNumber(&numbers, t, insertion.node);
    addNode(&step.moved, t);
}

// The height of the subtree at top once it has turned, from its heights
// before: the rising child's outer subtree keeps its depth, and the
// crossing one and the other side go one down.
static int
heightAfter(const Tree *top, bool right)
{
    Tree *rises = right ? top->left : top->right;
    int outer = height(right ? rises->left : rises->right);
    int crosses = height(right ? rises->right : rises->left);
    int other = height(right ? top->right : top->left);
    int below = 1 + (crosses > other ? crosses : other);
    return 1 + (outer > below ? outer : below);
}

// What a turn did to the subtree's height: a single turn lowers it, unless
// the rising child's taller subtree was on the inside, where the turn
// only mirrors it, or its two subtrees were as tall.
static void
sayHeight(Text *t, const Tree *top, bool right, int before)
{
    int after = heightAfter(top, right);
    if (after != before) {
        addText(t, "; the subtree's height %d → %d", before, after);
        return;
    }
    const Tree *rises = right ? top->left : top->right;
    int outer = height(right ? rises->left : rises->right);
    int inner = height(right ? rises->right : rises->left);
    addText(t, "; the height stays %d: %s", before,
            inner > outer ? "the taller grandchild was on the inside, and a "
                            "single turn only mirrors that"
                          : "the grandchildren below the rising child were "
                            "as tall, and the one that crosses stays as deep");
}

// Whether a node is in the list.
static bool
has(const Nodes *s, const Tree *t)
{
    for (size_t i = 0; i < s->n; i++)
        if (s->at[i] == t)
            return true;
    return false;
}

// The node turned, the child that rises in its place, and the grandchild
// that crosses from one to the other all move.
static void
noteRotation(const Tree *top, bool right)
{
    if (heightAfter(top, right) == height((Tree *)top))
        run.heightKept++;
    const Tree *rises = right ? top->left : top->right;
    const Tree *crosses = right ? rises->right : rises->left;
    addNode(&step.risers, rises);
    addNode(&step.turned, top);
    const Tree *moves[] = {top, rises, crosses};
    for (const Tree *n : moves)
        if (n != nullptr && !has(&step.turnedNodes, n))
            addNode(&step.turnedNodes, n);
    if (!right) {
        addNode(&step.stops, rises);
        addNode(&step.stoppedAt, top);
    }
    addNode(&step.moved, top);
    addNode(&step.moved, rises);
    if (crosses != nullptr)
        addNode(&step.moved, crosses);
    addText(&step.turns, "%s%s at %d", step.turns.len != 0 ? ", " : "rotated ",
            right ? "right" : "left", top->a);
    addText(&insertion.data, " %d%c%d", insertion.level + 1, right ? 'r' : 'l',
            numberOf(top));
    run.rotations++;
}

// How many of a quiet step's checks are named; and what a turn away from
// the new value's way down says of it.
static const int NAMED_MOST = 12;
static const char OFF_WAY[] =
    "; it is off %d's way down: the balancing goes down both sides of "
    "every node that doesn't lean right, and so came to it";

// A check that turns, or that stops the balancing going down, is told
// in words; every check is counted.
static void
noteCheck(const Tree *top, int hLeft, int hRight)
{
    step.checks++;
    if (hLeft + 1 == hRight) {
        addNode(&step.stops, top);
        addNode(&step.stoppedAt, top);
    }
    if (!drawing.explain)
        return;
    if (step.checks <= NAMED_MOST)
        addText(&step.named, "%s%d", step.checks > 1 ? ", " : ": ", top->a);
    const char *did = hRight + 1 < hLeft   ? "turned right"
                      : hLeft + 1 < hRight ? "turned left; nothing below it is "
                                             "checked"
                      : hLeft + 1 == hRight
                          ? "leans right by 1; nothing below it is checked"
                          : nullptr;
    if (did == nullptr)
        return;
    addText(&step.why, "\n-- %d: left %d, right %d: %s", top->a, hLeft, hRight,
            did);
    if (hRight + 1 < hLeft || hLeft + 1 < hRight) {
        sayHeight(&step.why, top, hRight + 1 < hLeft,
                  1 + (hLeft > hRight ? hLeft : hRight));
        if (!has(&insertion.way, top))
            addText(&step.why, OFF_WAY, insertion.value);
    }
}

// Why a node the last step left out of balance stayed so, by what the
// balancing did there: the node rose in a turn, which is not checked
// again; or it lies below where the balancing stopped; or its heights were
// taken before a turn below it lowered one side.
static void
sayUndone(Text *t, const Tree *n, int hLeft, int hRight, const Nodes *above)
{
    addText(t, "\n-- %d (left %d, right %d) stays out of balance: ", n->a,
            hLeft, hRight);
    for (size_t k = step.risers.n; k-- > 0;)
        if (step.risers.at[k] == n) {
            addText(t,
                    "it rose in the turn at %d, and the balancing doesn't "
                    "come back to it",
                    step.turned.at[k]->a);
            return;
        }
    for (size_t i = above->n; i-- > 0;)
        for (size_t k = 0; k < step.stops.n; k++)
            if (step.stops.at[k] == above->at[i]) {
                const Tree *at = step.stoppedAt.at[k];
                if (at == above->at[i])
                    addText(t,
                            "the balancing stopped at %d, which leans right "
                            "by 1, and checks nothing below it",
                            at->a);
                else
                    addText(t, "below the left turn at %d nothing is checked",
                            at->a);
                return;
            }
    addText(t, "its heights were taken before a turn below it lowered a side");
}

// The height of every node of the subtree at n, by its number; n's.
static int
heightsOf(const Tree *n, int *heights)
{
    if (n == nullptr)
        return 0;
    int l = heightsOf(n->left, heights), r = heightsOf(n->right, heights);
    return heights[numberOf(n)] = 1 + (l > r ? l : r);
}

// Says, in the order of their values, the nodes of the subtree at n that
// are out of balance; above holds the nodes above n. The number of them.
static int
sayAllUndone(Text *t, const Tree *n, const int *heights, Nodes *above)
{
    if (n == nullptr)
        return 0;
    addNode(above, n);
    int found = sayAllUndone(t, n->left, heights, above);
    above->n--;
    int l = n->left != nullptr ? heights[numberOf(n->left)] : 0;
    int r = n->right != nullptr ? heights[numberOf(n->right)] : 0;
    if (l - r > 1 || r - l > 1) {
        if (t != nullptr)
            sayUndone(t, n, l, r, above);
        found++;
    }
    addNode(above, n);
    found += sayAllUndone(t, n->right, heights, above);
    above->n--;
    return found;
}

// The nodes out of balance in the whole tree, said into t unless it is
// null; how many.
static int
undone(Text *t)
{
    int *heights = (int *)malloc((numbers.n + 1) * sizeof *heights);
    Nodes above = {nullptr, 0, 0};
    if (heights == nullptr)
        outOfMemory();
    heightsOf(root, heights);
    int found = sayAllUndone(t, root, heights, &above);
    free(heights);
    free(above.at);
    return found;
}

// Where insert would print a trace block.
static void
traceStep()
{
    insertion.level++;
    bool rotated = step.turns.len != 0;
    addText(&step.heading, "== insert %d (step %d of %d): %s", insertion.value,
            insertion.level, insertion.levels,
            rotated ? step.turns.s : "no rotation");
    if (drawing.explain) {
        addText(&step.heading, "%s%s\n-- checked %d node%s",
                step.why.len != 0 ? step.why.s : "",
                rotated ? ""
                        : "\n-- nothing turned: every node checked had "
                          "heights that differ by at most 1, or leaned right "
                          "by 1",
                step.checks, step.checks == 1 ? "" : "s");
        // A quiet step says which.
        if (!rotated)
            addText(&step.heading, "%s%s", step.named.s,
                    step.checks > NAMED_MOST ? ", ..." : "");
        // Where it turned, each node it moved, as it now stands.
        for (size_t i = 0; i < step.turnedNodes.n; i++) {
            const Tree *n = step.turnedNodes.at[i];
            addText(&step.heading, "%s%d: left %d, right %d",
                    i == 0 ? "\n-- after the turns: " : "; ", n->a,
                    height(n->left), height(n->right));
        }
        // The last level balanced the whole tree: what it left is left.
        if (insertion.level == insertion.levels)
            undone(&step.heading);
    }
    step.why.len = 0;
    step.named.len = 0;
    step.checks = 0;
    step.risers.n = step.turned.n = step.stops.n = step.stoppedAt.n = 0;
    step.turnedNodes.n = 0;
    bool draw = drawing.show == SHOW_ALL ||
                ((drawing.show & SHOW_ROTATIONS) && rotated);
    if (draw)
        drawText(&step.heading, &step.moved, MOVED);
    endStep(draw);
}

void
startRun()
{
    onMake = noteMade;
    onTrace = traceStep;
    onRotate = noteRotation;
    onCheck = noteCheck;
}

static void
setPlainDepth(int node, int depth)
{
    makeRoom(run.plainDepth, run.plainCap, (size_t)node + 1, 64);
    run.plainDepth[node] = depth;
    if (depth > run.plainHeight)
        run.plainHeight = depth;
}

static void
insertFirst(int a)
{
    insertion.node = 0;
    root = newNode(a);
    setPlainDepth(0, 1);
    addText(&step.heading, "== insert %d: the first value, the root", a);
    bool draw = drawing.show != SHOW_LAST;
    if (draw)
        drawText(&step.heading, &step.moved, MOVED);
    endStep(draw);
    if (drawing.page != nullptr)
        pageLine(drawing.page, "%d 0\n", a);
}

// The way insert will go down: its levels, and the node's neighbours in
// the in-order listing. Rotations keep that order, and a
// value goes in after every smaller one and before every equal one with or
// without them: so a tree that never rotates would hang the node below the
// deeper of the same two neighbours.
void
insertValue(int a)
{
    if (root == nullptr) {
        insertFirst(a);
        return;
    }
    const Tree *previous = nullptr, *next = nullptr; // in in-order
    insertion.levels = 0;
    for (const Tree *t = root; t != nullptr;) {
        insertion.levels++;
        bool right = t->a < a;
        if (right)
            previous = t;
        else
            next = t;
        t = right ? t->right : t->left;
    }
    insertion.way.n = 0;
    for (const Tree *t = root; t != nullptr; t = t->a < a ? t->right : t->left)
        addNode(&insertion.way, t);
    int depth = 0;
    if (previous != nullptr)
        depth = run.plainDepth[numberOf(previous)];
    if (next != nullptr && run.plainDepth[numberOf(next)] > depth)
        depth = run.plainDepth[numberOf(next)];
    insertion.value = a;
    insertion.node = (int)numbers.n;
    insertion.level = 0;
    insertion.data.len = 0;
    addText(&insertion.data, "%d %d", a, insertion.levels);
    setPlainDepth(insertion.node, depth + 1);
    insert(a, root);
    if (drawing.page != nullptr)
        pageLine(drawing.page, "%s\n", insertion.data.s);
}

// With --last, the tree after the last insertion: drawn once the answers
// have ended, whether they were all there or not.
void
endInsertions()
{
    if ((drawing.show & SHOW_LAST) && !last.drawn && root != nullptr) {
        drawText(&last.heading, &last.moved, MOVED);
        last.drawn = true;
    }
}

// The way search takes down to a, marked, and what it found.
void
lookUp(int a)
{
    const Tree *found = search(a, root);
    Text data = {nullptr, 0, 0};
    Nodes way = {nullptr, 0, 0};

    addText(&data, "? %d %d", a, found != nullptr);
    for (const Tree *t = root; t != nullptr;) {
        addNode(&way, t);
        addText(&data, " %d", numberOf(t));
        t = t == found ? nullptr : t->a < a ? t->right : t->left;
    }
    Text heading = {nullptr, 0, 0};
    addText(&heading, "== search %d: %s", a, found ? "found" : "not found");
    for (const Tree *t = root; drawing.explain && t != nullptr;) {
        if (t == found)
            addText(&heading, "\n-- %d: found", t->a);
        else
            addText(&heading, "\n-- %d: %d is %s", t->a, a,
                    t->a < a ? "greater: right" : "less: left");
        t = t == found ? nullptr : t->a < a ? t->right : t->left;
    }
    if (drawing.explain && found == nullptr)
        addText(&heading, "\n-- not found");
    drawText(&heading, &way, PATH);
    if (drawing.page != nullptr)
        pageLine(drawing.page, "%s\n", data.s);
    free(heading.s);
    free(way.at);
    free(data.s);
}

// The page says why the answers fell short, as the message does. The words
// are rotadraw's own, but the reason may be the system's: nothing in it may
// end the page's script element or its line.
void
noteFailure(const char *why)
{
    if (drawing.page == nullptr)
        return;
    char said[128];
    snprintf(said, sizeof said, "%s", why);
    for (char *c = said; *c != '\0'; c++)
        if (*c == '<' || *c == '\n' || *c == '\r')
            *c = ' ';
    pageLine(drawing.page, "! %s\n", said);
}

static int
leastHeight(long n)
{
    int h = 0;
    while ((1L << h) - 1 < n)
        h++;
    return h;
}

void
writeSummary(FILE *out)
{
    long n = (long)numbers.n;
    fprintf(out, "== summary\nvalues: %ld, rotations: %ld", n, run.rotations);
    if (run.heightKept != 0)
        fprintf(out, " (%ld left the subtree's height as it was)",
                run.heightKept);
    fputc('\n', out);
    fprintf(out, "height: %d (least possible %d; without rotations %d)\n",
            height(root), leastHeight(n), run.plainHeight);
    int left = root != nullptr ? undone(nullptr) : 0;
    if (root != nullptr)
        fprintf(out, "out of balance at the end: %d node%s\n", left,
                left == 1 ? "" : "s");
}
