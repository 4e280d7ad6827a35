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
} insertion;

// The step under way in it.
static struct {
    Text turns;   // its rotations, in words
    Text why;     // with --explain, what its checks decided
    int checks;   // the nodes its balancing checked
    Nodes moved;  // the nodes it made or moved
    Text heading; // and its drawing's
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

// The node turned, the child that rises in its place, and the grandchild
// that crosses from one to the other all move.
static void
noteRotation(const Tree *top, bool right)
{
    if (heightAfter(top, right) == height((Tree *)top))
        run.heightKept++;
    const Tree *rises = right ? top->left : top->right;
    const Tree *crosses = right ? rises->right : rises->left;
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

// A check that turns, or that stops the balancing going down, is told
// in words; every check is counted.
static void
noteCheck(const Tree *top, int hLeft, int hRight)
{
    step.checks++;
    if (!drawing.explain)
        return;
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
    if (hRight + 1 < hLeft || hLeft + 1 < hRight)
        sayHeight(&step.why, top, hRight + 1 < hLeft,
                  1 + (hLeft > hRight ? hLeft : hRight));
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
    if (drawing.explain)
        addText(&step.heading, "%s%s\n-- checked %d node%s",
                step.why.len != 0 ? step.why.s : "",
                rotated ? ""
                        : "\n-- nothing turned: every node checked had "
                          "heights that differ by at most 1, or leaned right "
                          "by 1",
                step.checks, step.checks == 1 ? "" : "s");
    step.why.len = 0;
    step.checks = 0;
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
}
