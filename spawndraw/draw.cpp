// The drawings of a run on the terminal: the tree of processes, the
// timeline of their events, and the output each wrote.

#include "run.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

static const char *const BOLD = "\033[1m";
static const char *const DIM = "\033[2m";
static const char *const RED = "\033[31m";
static const char *const GREEN = "\033[32m";
static const char *const CYAN = "\033[36m";
static const char *const YELLOW = "\033[33m";
static const char *const PLAIN = "\033[m";

static void
paint(FILE *out, const Look &look, const char *how, const std::string &text)
{
    if (look.colour && *how != '\0')
        fprintf(out, "%s%s%s", how, text.c_str(), PLAIN);
    else
        fputs(text.c_str(), out);
}

// The length of the well-formed UTF-8 character at s[i], its code point
// in *cp; 0 where the bytes there are no character: a byte that can't
// lead, a sequence cut short, an overlong form, a surrogate, or a code
// point past U+10FFFF.
static size_t
utf8At(const std::string &s, size_t i, unsigned *cp)
{
    unsigned char c = (unsigned char)s[i];
    size_t len = c < 0x80   ? 1
                 : c < 0xc2 ? 0
                 : c < 0xe0 ? 2
                 : c < 0xf0 ? 3
                 : c < 0xf5 ? 4
                            : 0;
    if (len <= 1 || i + len > s.size()) {
        *cp = c;
        return len == 1 ? 1 : 0;
    }
    unsigned v = c & (0x7f >> len);
    for (size_t k = 1; k < len; k++) {
        unsigned char b = (unsigned char)s[i + k];
        if ((b & 0xc0) != 0x80)
            return 0;
        v = v << 6 | (b & 0x3f);
    }
    static const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < least[len] || v > 0x10ffff || (v >= 0xd800 && v <= 0xdfff))
        return 0;
    *cp = v;
    return len;
}

// Characters that a terminal acts on or that show nothing: the C1
// controls, which some terminals take as the start of a sequence, and the
// invisible ones that reorder or hide text (the bidi controls, zero-width
// characters, the line and paragraph separators, tags).
static bool
hidden(unsigned cp)
{
    static const unsigned ranges[][2] = {
        {0x80, 0x9f},       {0xad, 0xad},       {0x61c, 0x61c},
        {0x180e, 0x180e},   {0x200b, 0x200f},   {0x2028, 0x202e},
        {0x2060, 0x2064},   {0x2066, 0x206f},   {0xfeff, 0xfeff},
        {0xfff9, 0xfffb},   {0x1d173, 0x1d17a}, {0xe0001, 0xe0001},
        {0xe0020, 0xe007f},
    };
    for (const auto &r : ranges)
        if (cp >= r[0] && cp <= r[1])
            return true;
    return false;
}

static std::string
escapedAs(const char *format, unsigned v)
{
    char text[16];
    snprintf(text, sizeof text, format, v);
    return text;
}

std::string
printable(const std::string &s, bool keepTabs)
{
    std::string r;
    for (size_t i = 0; i < s.size();) {
        unsigned cp;
        size_t len = utf8At(s, i, &cp);
        if (len == 0 || (len == 1 && (cp < 0x20 || cp == 0x7f) &&
                         !(keepTabs && cp == '\t'))) {
            r += escapedAs("\\x%02x", (unsigned char)s[i]);
            i++;
            continue;
        }
        if (cp == '\\')
            r += "\\\\";
        else if (hidden(cp))
            r += escapedAs(cp > 0xffff ? "\\U%08x" : "\\u%04x", cp);
        else
            r.append(s, i, len);
        i += len;
    }
    return r;
}

// An argument as a shell would need it typed.
static std::string
quoted(const std::string &arg)
{
    bool plain = !arg.empty();
    for (char c : arg)
        plain = plain && (isalnum((unsigned char)c) ||
                          strchr("%+,-./:=@_", c) != nullptr);
    if (plain)
        return arg;
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return printable(q + "'", false);
}

std::string
argumentsText(const std::vector<std::string> &argv, long argc)
{
    std::string s;
    for (const std::string &a : argv)
        s += (s.empty() ? "" : " ") + quoted(a);
    if (argc > (long)argv.size())
        s += " … (" + std::to_string(argc) + " in all)";
    return s;
}

std::string
duration(long long us)
{
    char text[32];
    if (us < 0) // times out of order in a record: no time at all
        us = 0;
    if (us < 1000)
        snprintf(text, sizeof text, "%lld µs", us);
    else if (us < 1000000)
        snprintf(text, sizeof text, "%.1f ms", us / 1000.0);
    else
        snprintf(text, sizeof text, "%.2f s", us / 1e6);
    return text;
}

// What became of a process, after its name.
static std::string
fate(const Run &run, const Proc &p)
{
    std::string s;
    if (p.maker >= 0)
        s += ", made by " + std::to_string(run.procs[(size_t)p.maker].pid) +
             " with CLONE_PARENT";
    if (p.threads > 0)
        s += ", " + std::to_string(p.threads + 1) + " threads";
    if (p.ptraceDenied)
        s += ", its own ptrace refused (spawndraw traces it)";
    if (p.failedExecs > 0)
        s += ", " + std::to_string(p.failedExecs) + " failed exec" +
             (p.failedExecs == 1 ? "" : "s");
    if (p.adopted >= 0)
        s += ", orphaned: adopted by " + std::to_string(p.adopter) +
             (p.adopterIsInit ? " (init)" : " (a subreaper)");
    if (p.ended < 0)
        return s + (p.running ? ", still running" : "");
    s += ", " + printable(p.ending, false);
    if (p.reaped < 0)
        return s + ", never reaped";
    const Event &end = run.events[(size_t)p.ended];
    const Event &reap = run.events[(size_t)p.reaped];
    if (p.reaper == 0)
        return s + ", reaped by the kernel at once (its parent " +
               (p.reapedWhy == "SA_NOCLDWAIT" ? "set SA_NOCLDWAIT)"
                                              : "ignores SIGCHLD)");
    if (!followed(run, p.reaper) || !p.zombie)
        return s + ", reaped by " + std::to_string(p.reaper);
    return s + ", reaped by " + std::to_string(p.reaper) + " after " +
           duration(reap.us - end.us) + " as a zombie";
}

static void
treeLine(FILE *out, const Run &run, const Look &look, int i,
         const std::string &lead, bool last, bool top)
{
    const Proc &p = run.procs[(size_t)i];
    fputs(lead.c_str(), out);
    if (!top)
        fputs(last ? "└─ " : "├─ ", out);
    paint(out, look, BOLD, std::to_string(p.pid));
    fputc(' ', out);
    for (size_t k = 0; k < p.programs.size(); k++) {
        if (k > 0)
            fputs(" → ", out);
        paint(out, look, k > 0 ? CYAN : "", printable(p.programs[k], false));
    }
    const Proc *parent = p.parent >= 0 ? &run.procs[(size_t)p.parent] : nullptr;
    if (p.programs.size() > 1 && (parent == nullptr || p.argv != parent->argv))
        fprintf(out, " (%s)", argumentsText(p.argv, p.argc).c_str());
    std::string f = fate(run, p);
    if (!f.empty()) {
        bool bad = p.ending.compare(0, 6, "killed") == 0;
        paint(out, look, bad ? RED : DIM, ":" + f.substr(1));
    }
    fputc('\n', out);
}

void
drawTree(FILE *out, const Run &run, const Look &look)
{
    if (run.root < 0)
        return;
    paint(out, look, BOLD, "== the processes, each under the one that made it");
    fputc('\n', out);
    // Depth first, without recursion: a run may nest deeply.
    struct Item {
        int proc;
        std::string lead;
        bool last, top;
    };
    std::vector<Item> stack = {{run.root, "", true, true}};
    while (!stack.empty()) {
        Item it = stack.back();
        stack.pop_back();
        treeLine(out, run, look, it.proc, it.lead, it.last, it.top);
        const std::vector<int> &kids = run.procs[(size_t)it.proc].children;
        std::string lead = it.top ? "" : it.lead + (it.last ? "   " : "│  ");
        for (size_t k = kids.size(); k-- > 0;)
            stack.push_back({kids[k], lead, k + 1 == kids.size(), false});
    }
}

// The processes in the tree's order.
static std::vector<int>
treeOrder(const Run &run)
{
    std::vector<int> order, stack = {run.root};
    while (!stack.empty()) {
        int i = stack.back();
        stack.pop_back();
        order.push_back(i);
        const std::vector<int> &kids = run.procs[(size_t)i].children;
        for (size_t k = kids.size(); k-- > 0;)
            stack.push_back(kids[k]);
    }
    return order;
}

static char
mark(const Event &e)
{
    static const struct {
        const char *kind;
        char mark;
    } marks[] = {{"begin", '-'},    {"fork", 'F'},       {"exec", 'E'},
                 {"execfail", 'X'}, {"write", 'W'},      {"signal", 'S'},
                 {"thread", 'T'},   {"wait", '['},       {"waited", ']'},
                 {"exit", '#'},     {"reaped", 'R'},     {"adopted", 'A'},
                 {"running", '>'},  {"killtracer", 'S'}, {"joined", 'J'}};
    for (const auto &m : marks)
        if (e.kind == m.kind)
            return m.mark;
    return '?';
}

static const char *
markColour(char c)
{
    switch (c) {
    case 'F':
    case '+':
        return GREEN;
    case 'E':
        return CYAN;
    case 'X':
    case '#':
    case 'z':
    case 'R':
        return RED;
    case '[':
    case '=':
    case ']':
        return YELLOW;
    default:
        return "";
    }
}

void
drawTimeline(FILE *out, const Run &run, const Look &look)
{
    if (run.root < 0 || run.events.empty())
        return;
    paint(out, look, BOLD, "== the timeline, one column an event");
    bool joins = std::any_of(run.events.begin(), run.events.end(),
                             [](const Event &e) { return e.kind == "joined"; });
    fprintf(out,
            "\n   F forks, + is made, E execs, X exec fails, W writes, "
            "S signal, T thread,%s\n   [==] waits, # ends, z zombie, R reaped, "
            "A adopted, > still running\n",
            joins ? " J join" : "");
    std::vector<int> order = treeOrder(run);
    int label = 0;
    for (int i : order)
        label = std::max(label,
                         (int)std::to_string(run.procs[(size_t)i].pid).size());
    int width = std::max(10, look.width - label - 2);
    size_t n = run.events.size();
    // Each process's row, from its making to its reaping, drawn a block of
    // columns at a time.
    std::vector<std::string> rows(run.procs.size());
    std::vector<size_t> rowFrom(run.procs.size());
    for (size_t i = 0; i < run.procs.size(); i++) {
        const Proc &p = run.procs[i];
        size_t from = p.born >= 0 ? (size_t)p.born : 0;
        size_t to = p.reaped >= 0 ? (size_t)p.reaped + 1 : n;
        std::string &row = rows[i];
        rowFrom[i] = from;
        row.assign(to - from, '-');
        bool waiting = false, zombie = false;
        for (size_t c = from; c < to; c++) {
            const Event &e = run.events[c];
            char &at = row[c - from];
            if (c == (size_t)p.born) {
                at = '+';
            } else if (run.procOf[c] == (int)i) {
                at = mark(e);
                waiting = e.kind == "wait"     ? true
                          : e.kind == "waited" ? false
                                               : waiting;
                zombie = zombie || e.kind == "exit";
            } else {
                at = zombie ? 'z' : waiting ? '=' : '-';
            }
        }
    }
    for (size_t c0 = 0; c0 < n; c0 += (size_t)width) {
        size_t c1 = std::min(n, c0 + (size_t)width);
        fprintf(out, "%*s events %zu to %zu\n", label, "",
                (size_t)run.events[c0].seq, (size_t)run.events[c1 - 1].seq);
        for (int i : order) {
            const std::string &row = rows[(size_t)i];
            size_t from = rowFrom[(size_t)i];
            if (from >= c1 || from + row.size() <= c0)
                continue;
            fprintf(out, "%*d  ", label, run.procs[(size_t)i].pid);
            for (size_t c = c0; c < std::min(c1, from + row.size()); c++) {
                char at = c < from ? ' ' : row[c - from];
                const char *colour = look.colour ? markColour(at) : "";
                if (*colour != '\0')
                    fprintf(out, "%s%c%s", colour, at, PLAIN);
                else
                    fputc(at, out);
            }
            fputc('\n', out);
        }
    }
}

std::vector<OutputLine>
outputLines(const Run &run)
{
    // A line is its writer's: a process, or one of its threads, and a
    // stream.
    std::vector<OutputLine> lines, open;
    for (size_t e = 0; e < run.events.size(); e++) {
        const Event &ev = run.events[e];
        if (ev.kind != "write")
            continue;
        int fd = atoi(ev.f[0].c_str());
        int proc = run.procOf[e];
        size_t k = 0;
        while (k < open.size() && (open[k].proc != proc ||
                                   open[k].tid != ev.tid || open[k].fd != fd))
            k++;
        if (k == open.size())
            open.push_back({(int)e, proc, ev.tid, fd, "", false});
        std::string text = open[k].text + ev.f[2];
        size_t start = 0, nl;
        while ((nl = text.find('\n', start)) != std::string::npos) {
            lines.push_back({(int)e, proc, ev.tid, fd,
                             text.substr(start, nl - start), false});
            start = nl + 1;
        }
        open[k].text = text.substr(start);
        if (open[k].text.empty())
            open.erase(open.begin() + (long)k);
    }
    for (OutputLine &p : open) {
        p.event = (int)run.events.size() - 1;
        p.cut = true;
        lines.push_back(p);
    }
    return lines;
}

void
drawOutput(FILE *out, const Run &run, const Look &look)
{
    std::vector<OutputLine> lines = outputLines(run);
    if (lines.empty())
        return;
    auto nameOf = [&](int proc, int tid) {
        std::string s = std::to_string(run.procs[(size_t)proc].pid);
        return tid != 0 ? s + "/" + std::to_string(tid) : s;
    };
    int label = 0;
    long long lost = 0;
    for (const Proc &p : run.procs)
        label = std::max(label, (int)std::to_string(p.pid).size());
    for (size_t e = 0; e < run.events.size(); e++)
        if (run.events[e].kind == "write") {
            label = std::max(
                label, (int)nameOf(run.procOf[e], run.events[e].tid).size());
            lost += atoll(run.events[e].f[1].c_str()) -
                    (long long)run.events[e].f[2].size();
        }
    paint(out, look, BOLD,
          "== the output, each line after the pid "
          "that wrote it (! for standard error)");
    fputc('\n', out);
    for (const OutputLine &l : lines) {
        // Each line from the colour the terminal starts with.
        fprintf(out, "%s%*s %s ", look.colour ? PLAIN : "", label,
                nameOf(l.proc, l.tid).c_str(), l.fd == 2 ? "!" : "│");
        fputs(
            printable(l.cut ? l.text + " (no line end)" : l.text, true).c_str(),
            out);
        fputc('\n', out);
    }
    if (lost > 0)
        fprintf(out,
                "%*s (%lld bytes more were written; the record keeps "
                "the first %d)\n",
                label, "", lost, MAX_OUTPUT);
}
