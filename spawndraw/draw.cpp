// The drawings of a run on the terminal: the tree of processes, the
// timeline of their events, and the output each wrote.

#include "run.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

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
    // Its standard streams where they differ from its parent's.
    std::string streams;
    for (int fd = 0; fd <= 2; fd++) {
        const std::string &now = p.fds[fd];
        if (now.empty() || now == "closed" ||
            (parent != nullptr && now == parent->fds[fd]))
            continue;
        streams += (streams.empty() ? "" : ", ") + std::to_string(fd) +
                   (fd == 0 ? " ← " : " → ") + printable(now, false);
    }
    if (!streams.empty())
        fprintf(out, " [%s]", streams.c_str());
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
                 {"running", '>'},  {"killtracer", 'S'}, {"joined", 'J'},
                 {"pipe", '|'},     {"fd", '='},         {"writeinto", 'w'},
                 {"readfrom", 'r'}, {"blocked", '.'},    {"unfollowed", '='}};
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
    if (std::any_of(run.events.begin(), run.events.end(), [](const Event &e) {
            return e.kind == "pipe" || e.kind == "fd" ||
                   e.kind == "writeinto" || e.kind == "readfrom";
        }))
        fputs("   | makes a pipe, = a descriptor changes, w writes into a pipe "
              "or file, r reads\n",
              out);
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
    // and where it goes: the run's output, or a pipe or a file.
    std::vector<OutputLine> lines, open;
    for (size_t e = 0; e < run.events.size(); e++) {
        const Event &ev = run.events[e];
        bool into = ev.kind == "writeinto";
        if ((ev.kind != "write" && !into) || (into && ev.f[2] == "-1"))
            continue;
        int fd = atoi(ev.f[0].c_str());
        int proc = run.procOf[e];
        std::string where = into ? ev.f[1] : "";
        size_t k = 0;
        while (k < open.size() &&
               (open[k].proc != proc || open[k].tid != ev.tid ||
                open[k].fd != fd || open[k].where != where))
            k++;
        if (k == open.size())
            open.push_back({(int)e, proc, ev.tid, fd, "", false, where});
        std::string text = open[k].text + ev.f[into ? 3 : 2];
        size_t start = 0, nl;
        while ((nl = text.find('\n', start)) != std::string::npos) {
            lines.push_back({(int)e, proc, ev.tid, fd,
                             text.substr(start, nl - start), false, where});
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
    auto nameOf = [&](int proc, int tid, const std::string &where) {
        std::string s = std::to_string(run.procs[(size_t)proc].pid);
        s = tid != 0 ? s + "/" + std::to_string(tid) : s;
        return where.empty() ? s : s + " → " + printable(where, false);
    };
    // Columns, not bytes: an arrow is one.
    auto width = [](const std::string &s) {
        int n = 0;
        for (unsigned char c : s)
            n += (c & 0xc0) != 0x80;
        return n;
    };
    int label = 0;
    long long lost = 0;
    for (const OutputLine &l : lines)
        label = std::max(label, width(nameOf(l.proc, l.tid, l.where)));
    for (const Event &ev : run.events)
        if (ev.kind == "write")
            lost += atoll(ev.f[1].c_str()) - (long long)ev.f[2].size();
    paint(out, look, BOLD,
          "== the output, each line after the pid "
          "that wrote it (! for standard error)");
    fputc('\n', out);
    // Of what went into a pipe or a file, the first lines of each writer:
    // the rest is counted, and is in the section of the pipes and files.
    enum { SHOWN = 10 };
    std::unordered_map<std::string, int> into;
    long long hidden = 0;
    for (const OutputLine &l : lines) {
        if (!l.where.empty() &&
            ++into[std::to_string(l.proc) + " " + l.where] > SHOWN) {
            hidden++;
            continue;
        }
        // Each line from the colour the terminal starts with.
        std::string name = nameOf(l.proc, l.tid, l.where);
        fprintf(out, "%s%*s%s %s ", look.colour ? PLAIN : "",
                label - width(name), "", name.c_str(),
                l.fd == 2 && l.where.empty() ? "!" : "│");
        fputs(
            printable(l.cut ? l.text + " (no line end)" : l.text, true).c_str(),
            out);
        fputc('\n', out);
    }
    if (hidden > 0)
        fprintf(out, "%*s (and %lld more lines into pipes and files)\n", label,
                "", hidden);
    for (const CopiedLine &c : copiedLines(run))
        fprintf(out,
                "%*s (\"%s\" %zu times, by one family that ran no new "
                "program: each printed it, or %d printed it once and it was "
                "still in stdio's buffer when a fork copied it; fflush(stdout) "
                "before fork prints such a line once)\n",
                label, "",
                printable(c.line.substr(0, c.line.size() - 1), false).c_str(),
                c.writes.size(), run.procs[(size_t)c.origin].pid);
    if (lost > 0)
        fprintf(out,
                "%*s (%lld bytes more were written; the record keeps "
                "the first %d)\n",
                label, "", lost, MAX_OUTPUT);
}

// What went through one pipe or file: who made it, who held it, who wrote
// and read how much, and where its readers saw its end.
struct Channel {
    std::string name;
    int maker = -1, readFd = -1, writeFd = -1;
    bool readsFollowed = true;             // on its read end, as it was made
    std::vector<std::pair<int, int>> held; // process, descriptor
    // Held past an exec, its reads from there unfollowed: process, descriptor
    std::vector<std::pair<int, int>> unfollowed;
    struct Use {
        int proc;
        bool reads;
        long long bytes = 0, lines = 0;
    };
    std::vector<Use> uses;
    int endSeen = -1; // the event of the first read that found its end
    int broken = -1;  // the event of a write that found no reader
};

static std::vector<Channel>
channels(const Run &run)
{
    std::vector<Channel> all;
    auto named = [&](const std::string &name) -> Channel & {
        for (Channel &c : all)
            if (c.name == name)
                return c;
        all.push_back(Channel());
        all.back().name = name;
        return all.back();
    };
    for (size_t e = 0; e < run.events.size(); e++) {
        const Event &ev = run.events[e];
        int i = run.procOf[e];
        if (ev.kind == "pipe") {
            Channel &c = named(ev.f[0]);
            c.maker = i;
            c.readFd = atoi(ev.f[1].c_str());
            c.writeFd = atoi(ev.f[2].c_str());
            // A record of before this was said followed reads on 0 to 2.
            c.readsFollowed =
                ev.f.size() > 3 ? ev.f[3] == "followed" : c.readFd <= 2;
        } else if (ev.kind == "unfollowed") {
            named(ev.f[1]).unfollowed.push_back({i, atoi(ev.f[0].c_str())});
        } else if (ev.kind == "fd" && ev.f[1].compare(0, 5, "pipe ") == 0) {
            named(ev.f[1]).held.push_back({i, atoi(ev.f[0].c_str())});
        } else if (ev.kind == "writeinto" || ev.kind == "readfrom") {
            Channel &c = named(ev.f[1]);
            bool reads = ev.kind == "readfrom";
            long long n = atoll(ev.f[2].c_str());
            if (n < 0) {
                if (c.broken < 0)
                    c.broken = (int)e;
                continue;
            }
            if (n == 0 && reads && c.endSeen < 0)
                c.endSeen = (int)e;
            size_t u = 0;
            while (u < c.uses.size() &&
                   (c.uses[u].proc != i || c.uses[u].reads != reads))
                u++;
            if (u == c.uses.size())
                c.uses.push_back({i, reads});
            c.uses[u].bytes += n;
            c.uses[u].lines += std::count(ev.f[3].begin(), ev.f[3].end(), '\n');
        }
    }
    return all;
}

static std::string
named(const Run &run, int i)
{
    const Proc &p = run.procs[(size_t)i];
    return std::to_string(p.pid) + " (" + printable(p.programs.back(), false) +
           ")";
}

void
drawPipes(FILE *out, const Run &run, const Look &look)
{
    std::vector<Channel> all = channels(run);
    if (all.empty())
        return;
    paint(out, look, BOLD, "== the pipes and files");
    fputc('\n', out);
    auto count = [](long long n, const char *one) {
        return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
    };
    for (const Channel &c : all) {
        paint(out, look, BOLD, printable(c.name, false));
        if (c.maker >= 0)
            fprintf(out, ": made by %s, read end %d, write end %d",
                    named(run, c.maker).c_str(), c.readFd, c.writeFd);
        fputc('\n', out);
        for (const auto &h : c.held)
            fprintf(out, "   %s holds it as descriptor %d\n",
                    named(run, h.first).c_str(), h.second);
        for (const Channel::Use &u : c.uses)
            fprintf(out, "   %s %s %s, %s\n", named(run, u.proc).c_str(),
                    u.reads ? "read" : "wrote", count(u.bytes, "byte").c_str(),
                    count(u.lines, "line").c_str());
        // Where its reads could not be followed, the silence is said; and
        // where they were, but the end may have gone where they aren't.
        bool read = false, wrote = false;
        for (const Channel::Use &u : c.uses) {
            read = read || u.reads;
            wrote = wrote || !u.reads;
        }
        if (c.maker >= 0 && !c.readsFollowed && !read)
            fprintf(out,
                    "   no read of it was followed: reads on descriptor %d "
                    "were not\n",
                    c.readFd);
        else if (c.maker >= 0 && c.unfollowed.empty() && !read && wrote &&
                 c.broken < 0)
            fputs("   no read of it was seen: above descriptor 2, reads are "
                  "followed on the descriptor it was made with, until an "
                  "exec\n",
                  out);
        // Said unfollowed, but read all the same (the new program's code
        // where the old one's was, as without address randomization): its
        // reads say more than the word.
        for (const auto &u : c.unfollowed)
            if (std::none_of(c.uses.begin(), c.uses.end(),
                             [&](const Channel::Use &use) {
                                 return use.reads && use.proc == u.first;
                             }))
                fprintf(
                    out,
                    "   %s kept its read end as descriptor %d past an exec: "
                    "its reads from there were not followed\n",
                    named(run, u.first).c_str(), u.second);
        if (c.endSeen >= 0 && c.name.compare(0, 5, "pipe ") != 0)
            fprintf(out, "   %s read it to its end\n",
                    named(run, run.procOf[(size_t)c.endSeen]).c_str());
        else if (c.endSeen >= 0)
            fprintf(out,
                    "   its last write end was closed before event %ld: %s "
                    "read its end of file\n",
                    run.events[(size_t)c.endSeen].seq,
                    named(run, run.procOf[(size_t)c.endSeen]).c_str());
        if (c.broken >= 0)
            fprintf(out,
                    "   at event %ld, %s wrote with no read end left open: "
                    "EPIPE, with SIGPIPE\n",
                    run.events[(size_t)c.broken].seq,
                    named(run, run.procOf[(size_t)c.broken]).c_str());
    }
}

void
drawBlocked(FILE *out, const Run &run, const Look &look)
{
    bool any = false;
    for (size_t e = 0; e < run.events.size(); e++) {
        if (run.events[e].kind != "blocked")
            continue;
        if (!any) {
            paint(out, look, BOLD, "== why it was still running");
            fputc('\n', out);
            any = true;
        }
        fprintf(out, "%s\n", blockedWords(run, (int)e).c_str());
    }
}
