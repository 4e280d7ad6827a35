// spawndraw: recorded runs drawn as they were, on any machine; and real
// runs of the launchers and of processes that a tracer can get wrong,
// where the machine lets a process be traced.

#include "runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

// --- recorded runs

class Recorded : public InDir, public testing::WithParamInterface<const char *>
{
};

TEST_P(Recorded, DrawsAsItHappened)
{
    std::string base = std::string(RECORDS) + "/" + GetParam(), want;
    ASSERT_TRUE(readFile(base + ".drawn", &want));
    Result r = run(
        {SPAWNDRAW, "--from", base + ".events", "--explain", "--color=never"},
        "", dir);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(want, r.out);
}

INSTANTIATE_TEST_SUITE_P(Runs, Recorded,
                         testing::Values("launchers", "failed-exec", "killed",
                                         "orphan", "zombie", "threads",
                                         "path-search", "pipeline", "buffered",
                                         "relay", "child-pipe"),
                         [](const auto &p) {
                             std::string n = p.param;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

const char head[] = "spawndraw-events\t1\n"
                    "1\t5\t10\tbegin\tfiltered\tx\n"
                    "2\t9\t10\tfork\t11\n";

struct Bad {
    const char *name;
    std::string record;
    std::string err;
};

class BadRecord : public InDir, public testing::WithParamInterface<Bad>
{
};

TEST_P(BadRecord, IsRefusedSayingWhere)
{
    writeFile(dir + "/run.txt", GetParam().record);
    Result r = run({SPAWNDRAW, "--from", "run.txt"}, "", dir);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(GetParam().err, r.err);
}

INSTANTIATE_TEST_SUITE_P(
    Records, BadRecord,
    testing::Values(
        Bad{"empty", "", "spawndraw: run.txt: empty\n"},
        Bad{"other_format", "spawndraw-events\t9\n",
            "spawndraw: run.txt: not a record of spawndraw's (its first line "
            "is not \"spawndraw-events\" and version 1 to 4)\n"},
        Bad{"bad_thread", std::string(head) + "3\t9\t11/x\texit\texited\t0\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"bad_escape", std::string(head) + "3\t9\t11\twrite\t1\t1\t\\xZ1\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"missing_fields", std::string(head) + "3\t9\t11\texec\t/bin/x\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"bad_pipe_count",
            std::string(head) + "3\t9\t11\twriteinto\t1\tpipe 1\tx\ta\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"pipe_without_ends", std::string(head) + "3\t9\t11\tpipe\tpipe 1\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"unfollowed_below_3",
            std::string(head) + "3\t9\t11\tunfollowed\t0\tpipe 1\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"no_begin", "spawndraw-events\t1\n1\t9\t11\texit\texited\t0\n",
            "spawndraw: run.txt: line 2: the record doesn't begin with its "
            "command\n"},
        // Numbers that would overflow what is worked out from them.
        Bad{"least_time",
            std::string(head) +
                "3\t-9223372036854775808\t11\texit\texited\t0\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"late_time",
            std::string(head) + "3\t9223372036854775807\t11\texit\texited\t0\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"huge_write",
            std::string(head) + "3\t9\t11\twrite\t1\t9223372036854775807\tx\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"pid_past_int", std::string(head) + "3\t9\t11\tfork\t4294967307\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        Bad{"status_past_255",
            std::string(head) + "3\t9\t11\texit\texited\t256\n",
            "spawndraw: run.txt: line 4: not an event\n"},
        // A refusal is a record of its own; one inside a run is no event.
        Bad{"refused_inside",
            std::string(head) +
                "3\t9\t11\trefused\tEPERM\n4\t9\t11\texit\texited\t0\n",
            "spawndraw: run.txt: line 4: not an event\n"}),
    [](const auto &p) { return std::string(p.param.name); });

// A record that can't be drawn leaves a page file as it was, and makes
// none.
TEST_F(InDir, ABadRecordMakesNoPage)
{
    writeFile(dir + "/run.txt", "spawndraw-events\t9\n");
    writeFile(dir + "/old.html", "old");
    Result r =
        run({SPAWNDRAW, "--from", "run.txt", "--html", "old.html"}, "", dir);
    EXPECT_EQ(1, r.status);
    std::string old;
    EXPECT_TRUE(readFile(dir + "/old.html", &old));
    EXPECT_EQ("old", old);
    r = run({SPAWNDRAW, "--from", "run.txt", "--html", "new.html"}, "", dir);
    EXPECT_EQ(1, r.status);
    EXPECT_NE(0, access((dir + "/new.html").c_str(), F_OK));
}

// Bytes a command wrote reach the terminal escaped: no control sequence,
// no byte that isn't UTF-8.
TEST_F(InDir, HostileOutputIsShownEscaped)
{
    writeFile(dir + "/run.txt",
              std::string(head) +
                  "3\t20\t11\twrite\t1\t12\t\\x1b[2J\\x00\\xff\\xe2\\x80\\x98ok"
                  "\\x0a\n4\t30\t11\texit\texited\t0\n");
    Result r = run({SPAWNDRAW, "--from", "run.txt", "--explain"}, "", dir);
    EXPECT_EQ(0, r.status);
    EXPECT_NE(std::string::npos, r.out.find("11 │ \\x1b[2J\\x00\\xff‘ok\n"))
        << r.out;
    EXPECT_NE(std::string::npos,
              r.out.find("writes 12 bytes to standard output: "
                         "\"\\x1b[2J\\x00\\xff‘ok\\n\""))
        << r.out;
    EXPECT_EQ(std::string::npos, r.out.find('\033'));
}

// Every byte a command chose is shown as the page shows it, by the table
// both read: in the output, and in --explain, where an exec's path, a
// signal's name and an ending come from the record too.
TEST_F(InDir, HostileBytesAreShownAsThePageShowsThem)
{
    std::string text, record = head, want;
    ASSERT_TRUE(readFile(std::string(RECORDS) + "/escapes.tsv", &text));
    std::istringstream rows(text);
    std::string row;
    int seq = 3;
    while (std::getline(rows, row)) {
        size_t tab = row.find('\t');
        if (row.empty() || row[0] == '#' || tab == std::string::npos)
            continue;
        record += std::to_string(seq++) + "\t20\t11\twrite\t1\t1\t" +
                  row.substr(0, tab) + "\\x0a\n";
        want += "11 │ " + row.substr(tab + 1) + "\n";
    }
    const std::string evil = "\\x1b]0;PWNED\\x07\\xc2\\x9b2J\\xe2\\x80\\xae";
    for (const std::string &e :
         {"exec\t/bin/" + evil + "\t0\t1\tx", "signal\tSIG" + evil,
          "note\t" + evil, "exit\tkilled\t" + evil})
        record += std::to_string(seq++) + "\t30\t11\t" + e + "\n";
    writeFile(dir + "/run.txt", record);
    Result r = run({SPAWNDRAW, "--from", "run.txt", "--explain"}, "", dir);
    EXPECT_EQ(0, r.status) << r.err;
    size_t output = r.out.find("== the output");
    ASSERT_NE(std::string::npos, output);
    EXPECT_EQ(want, r.out.substr(r.out.find('\n', output) + 1));
    for (const char *raw : {"\033", "\x07", "\xc2\x9b", "\xe2\x80\xae"})
        EXPECT_EQ(std::string::npos, r.out.find(raw)) << r.out;
    EXPECT_NE(
        std::string::npos,
        r.out.find("runs /bin/\\x1b]0;PWNED\\x07\\u009b2J\\u202e with exec"))
        << r.out;
}

// The longest times a record may hold, drawn and explained without a fault.
TEST_F(InDir, TheLatestTimesDrawWithoutOverflow)
{
    writeFile(dir + "/run.txt", std::string(head) +
                                    "3\t0\t11\tfork\t12\n"
                                    "4\t0\t12\texit\texited\t0\n"
                                    "5\t1000000000000000\t12\treaped\t11\n");
    Result r = run({SPAWNDRAW, "--from", "run.txt", "--explain"}, "", dir);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("after 1000000000.00 s")) << r.out;
}

// --- real runs

struct Ev {
    long seq;
    int pid;
    std::string who; // PID, or PID/TID for a thread's
    std::string kind;
    std::vector<std::string> f;
};

std::string
unescaped(const std::string &s)
{
    std::string r;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\\')
            r += '\\', i++;
        else if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x')
            r += (char)std::stoi(s.substr(i + 2, 2), nullptr, 16), i += 3;
        else
            r += s[i];
    }
    return r;
}

std::vector<Ev>
record(const std::string &path)
{
    std::string text;
    std::vector<Ev> evs;
    EXPECT_TRUE(readFile(path, &text));
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line); // the header
    while (std::getline(lines, line)) {
        std::vector<std::string> parts;
        std::istringstream fields(line);
        std::string part;
        while (std::getline(fields, part, '\t'))
            parts.push_back(unescaped(part));
        if (parts.size() < 4)
            continue;
        evs.push_back(
            {std::stol(parts[0]), std::stoi(parts[2]), parts[2], parts[3],
             std::vector<std::string>(parts.begin() + 4, parts.end())});
    }
    return evs;
}

// The first event of kind by pid whose fields begin with `first`; or null.
const Ev *
find(const std::vector<Ev> &evs, const std::string &kind, int pid = -1,
     const std::string &first = "")
{
    for (const Ev &e : evs)
        if (e.kind == kind && (pid < 0 || e.pid == pid) &&
            (first.empty() || (!e.f.empty() && e.f[0] == first)))
            return &e;
    return nullptr;
}

long
count(const std::vector<Ev> &evs, const std::string &kind, int pid = -1)
{
    return std::count_if(evs.begin(), evs.end(), [&](const Ev &e) {
        return e.kind == kind && (pid < 0 || e.pid == pid);
    });
}

class Traced : public InDir
{
  protected:
    void SetUp() override
    {
        InDir::SetUp();
        // The traced programs are built with the sanitizers too, and the
        // leak checker can't run in a traced process.
        if (SANITIZE) {
            const char *asan = getenv("ASAN_OPTIONS");
            std::string options = asan != nullptr ? asan : "";
            setenv("ASAN_OPTIONS", (options + ":detect_leaks=0").c_str(), 1);
        }
        Result r = run({SPAWNDRAW, "true"}, "", dir);
        if (r.err.find("cannot trace") != std::string::npos)
            GTEST_SKIP() << "this machine refuses ptrace: " << r.err;
    }
    // Starts spawndraw, with options, on a shell that runs a child that
    // never ends by itself ($!), then script; returns once the script has
    // printed "ready".
    Running startReady(std::vector<std::string> options,
                       const std::string &script)
    {
        options.insert(options.begin(), SPAWNDRAW);
        options.insert(
            options.end(),
            {"/bin/sh", "-c", "sleep infinity >/dev/null & " + script});
        Running r = start(options, "", dir);
        char ready[6];
        EXPECT_EQ(6, read(r.out, ready, sizeof ready));
        return r;
    }
    // Runs argv under spawndraw, its record in dir/run.txt.
    Result traced(std::vector<std::string> argv,
                  const std::vector<std::string> &options = {})
    {
        argv.insert(argv.begin(), {SPAWNDRAW, "--events", dir + "/run.txt"});
        argv.insert(argv.begin() + 1, options.begin(), options.end());
        Result r = run(argv, "", dir);
        evs = record(dir + "/run.txt");
        return r;
    }
    std::vector<Ev> evs;
};

// Every pid and parent the launchers print is the record's, as root and,
// where we are root, as nobody, whose filter needs no_new_privs.
class Launchers : public Traced, public testing::WithParamInterface<bool>
{
};

TEST_P(Launchers, PrintTheTreeTheRecordHolds)
{
    std::vector<std::string> as;
    if (GetParam()) {
        if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "needs root and setpriv to run as nobody";
        chmod(dir.c_str(), 0777);
        as = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
              "--clear-groups"};
        // A checkout that only root can enter holds a build nobody can run.
        for (const char *program : {SPAWNDRAW, P2SPAWN, P3SPAWN}) {
            std::vector<std::string> can = as;
            can.insert(can.end(), {"/usr/bin/test", "-x", program});
            if (run(can, "", dir).status != 0)
                GTEST_SKIP() << "nobody can't reach " << program
                             << ": the checkout is closed to other users";
        }
    }
    for (const char *launcher : {P2SPAWN, P3SPAWN}) {
        std::vector<std::string> argv = as;
        argv.insert(argv.end(), {SPAWNDRAW, "--events", dir + "/run.txt",
                                 launcher, "5", "3", "9", "1"});
        Result r = run(argv, "", dir);
        ASSERT_EQ(0, r.status) << r.err;
        evs = record(dir + "/run.txt");
        ASSERT_FALSE(evs.empty());
        EXPECT_EQ("filtered", evs[0].f[0]);
        int root = evs[0].pid;
        // Each "Pid:C\tPPid:P" printed is a fork of C by P.
        std::vector<int> children;
        for (size_t at = 0; (at = r.out.find(" Pid:", at)) != std::string::npos;
             at++) {
            int pid, ppid;
            ASSERT_EQ(
                2, sscanf(r.out.c_str() + at, " Pid:%d\tPPid:%d", &pid, &ppid));
            EXPECT_NE(nullptr, find(evs, "fork", ppid, std::to_string(pid)))
                << launcher << ": " << ppid << " forked " << pid;
            if (ppid != root)
                children.push_back(pid);
        }
        ASSERT_EQ(2u, children.size()) << r.out;
        // The second child is made only once the first was waited for.
        const Ev *waited = find(evs, "waited", -1, std::to_string(children[0]));
        const Ev *second = find(evs, "fork", -1, std::to_string(children[1]));
        ASSERT_NE(nullptr, waited);
        ASSERT_NE(nullptr, second);
        EXPECT_LT(waited->seq, second->seq);
        // Each sorting program gets the launcher's own arguments.
        const Ev *own = find(evs, "exec", std::stoi(find(evs, "fork")->f[0]));
        ASSERT_NE(nullptr, own);
        for (int child : children) {
            const Ev *exec = find(evs, "exec", child);
            ASSERT_NE(nullptr, exec);
            EXPECT_EQ(
                std::vector<std::string>(own->f.begin() + 3, own->f.end()),
                std::vector<std::string>(exec->f.begin() + 3, exec->f.end()));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AsUsers, Launchers, testing::Values(false, true),
                         [](const auto &p) {
                             return std::string(p.param ? "nobody" : "root");
                         });

// What a command prints, and its status, are its own: the same with and
// without spawndraw, but for the pids, in a line order that may vary.
std::string
masked(const std::string &out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line, s;
    while (std::getline(in, line)) {
        for (char &c : line)
            c = isdigit((unsigned char)c) ? '#' : c;
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string &l : lines)
        s += l + "\n";
    return s;
}

TEST_F(Traced, ChangesNothingOfTheCommand)
{
    const std::vector<std::vector<std::string>> commands = {
        {FORKFORK},
        {P3SPAWN_GAP, "4", "2"},
        {"/bin/sh", "-c", "exit 3"},
        {"/bin/sh", "-c", "sleep 5 & kill -KILL $!; wait $!; echo $?"},
        {"/bin/sh", "-c", "echo out; kill -TERM $$"},
    };
    for (const auto &command : commands) {
        Result plain = run(command, "", dir);
        Result r = traced(command);
        // A shell reports a command that a signal ended as 128 + its number.
        EXPECT_EQ(masked(plain.out), masked(r.out)) << command.back();
        EXPECT_TRUE(r.exited) << command.back();
        EXPECT_EQ(plain.exited ? plain.status : 128 + plain.status, r.status)
            << command.back();
    }
}

// A sorting program that isn't there: the child says -1 and ends, and the
// launcher goes on to its second child.
TEST_F(Traced, AMissingProgramIsAFailedExec)
{
    Result r = traced({P3SPAWN_GAP, "4", "2"});
    const Ev *failed = find(evs, "execfail");
    ASSERT_NE(nullptr, failed);
    EXPECT_EQ(std::string(HALF) + "/h.o", failed->f[0]);
    EXPECT_EQ("ENOENT", failed->f[1]);
    // Its one write after the exec: the -1 that exec returned.
    const Ev *said = nullptr;
    for (const Ev &e : evs)
        if (e.kind == "write" && e.pid == failed->pid && e.seq > failed->seq)
            said = said == nullptr ? &e : said;
    ASSERT_NE(nullptr, said);
    EXPECT_EQ("-1\n", said->f[2]);
    const Ev *end = find(evs, "exit", failed->pid);
    ASSERT_NE(nullptr, end);
    EXPECT_EQ((std::vector<std::string>{"exited", "127"}), end->f);
    const Ev *next = find(evs, "exec", -1, std::string(HALF) + "/m.o");
    ASSERT_NE(nullptr, next);
    EXPECT_LT(end->seq, next->seq);
}

// The pitfalls of tracing, each in a run of its own.
TEST_F(Traced, FollowsWhatATracerCanGetWrong)
{
    // An exec from a second thread ends neither the process nor the run.
    Result r = traced({SPAWN_CASES, "thread-exec", "/bin/echo", "hi"});
    EXPECT_EQ("hi\n", r.out);
    EXPECT_EQ(0, r.status);
    int command = std::stoi(find(evs, "fork")->f[0]);
    EXPECT_EQ(1, count(evs, "thread", command));
    EXPECT_EQ(1, count(evs, "exit", command));
    EXPECT_NE(nullptr, find(evs, "exec", command, "/bin/echo"));

    // A wait that SIGALRM interrupts three times is one wait.
    r = traced({SPAWN_CASES, "restart-wait"});
    EXPECT_EQ("wait returned the child: yes\n", r.out);
    command = std::stoi(find(evs, "fork")->f[0]);
    EXPECT_EQ(1, count(evs, "wait", command));
    EXPECT_EQ(3, std::count_if(evs.begin(), evs.end(), [](const Ev &e) {
                  return e.kind == "signal" && e.f[0] == "SIGALRM";
              }));

    // A wait that sees a stop collects nothing, and says the stop even
    // where it was given nowhere to put the status.
    r = traced({SPAWN_CASES, "stop-wait"});
    EXPECT_EQ("stopped: yes, then exited 3\n", r.out);
    command = std::stoi(find(evs, "fork")->f[0]);
    std::string child = find(evs, "fork", command)->f[0];
    const Ev *stop = find(evs, "waited", command, child);
    ASSERT_NE(nullptr, stop);
    EXPECT_EQ((std::vector<std::string>{child, "stopped", "SIGSTOP"}), stop->f);
    EXPECT_EQ(1, count(evs, "reaped", std::stoi(child)));
    EXPECT_LT(find(evs, "exit", std::stoi(child))->seq,
              find(evs, "reaped", std::stoi(child))->seq);

    // SA_NOCLDWAIT: the kernel collects the child, which is no orphan.
    r = traced({SPAWN_CASES, "nocldwait"});
    EXPECT_EQ("collected\n", r.out);
    EXPECT_EQ(nullptr, find(evs, "adopted"));
    const Ev *kernel = find(evs, "reaped", -1, "0");
    ASSERT_NE(nullptr, kernel);
    EXPECT_EQ((std::vector<std::string>{"0", "SA_NOCLDWAIT"}), kernel->f);

    // A child made with CLONE_PARENT is its maker's sibling, no orphan.
    r = traced({SPAWN_CASES, "clone-parent"});
    EXPECT_EQ("the sibling is ours: yes\n", r.out);
    command = std::stoi(find(evs, "fork")->f[0]);
    std::string middle = find(evs, "fork", command)->f[0];
    const Ev *sibling = find(evs, "fork", std::stoi(middle));
    ASSERT_NE(nullptr, sibling);
    EXPECT_EQ(std::to_string(command), sibling->f.back());
    EXPECT_EQ(nullptr, find(evs, "adopted"));
    EXPECT_NE(nullptr, find(evs, "reaped", std::stoi(sibling->f[0]),
                            std::to_string(command)));

    // A second thread's write is its own, named in the drawing.
    r = traced({SPAWN_CASES, "two-threads"});
    command = std::stoi(find(evs, "fork")->f[0]);
    const Ev *b = find(evs, "write", command);
    for (const Ev &e : evs)
        if (e.kind == "write" && e.f[2] == "B\n")
            b = &e;
    ASSERT_NE(nullptr, b);
    std::string thread = find(evs, "thread", command)->f[0];
    EXPECT_EQ(std::to_string(command) + "/" + thread, b->who);
    EXPECT_NE(std::string::npos,
              r.err.find(std::to_string(command) + "/" + thread + " │ B\n"))
        << r.err;
    // Its join is seen, on its id's futex.
    EXPECT_NE(nullptr, find(evs, "joined", command, thread));

    // A signal that a process sent names its sender.
    r = traced({"/bin/sh", "-c", "sleep 5 & kill -TERM $!; wait $!"});
    command = std::stoi(find(evs, "fork")->f[0]);
    const Ev *term = find(evs, "signal", -1, "SIGTERM");
    ASSERT_NE(nullptr, term);
    EXPECT_EQ((std::vector<std::string>{"SIGTERM", std::to_string(command)}),
              term->f);

    // A ptrace of its own is refused, and the record says why.
    r = traced({SPAWN_CASES, "traceme"});
    EXPECT_EQ("traceme: EPERM\n", r.out);
    EXPECT_NE(nullptr, find(evs, "ptracedenied", -1, "PTRACE_TRACEME"));

    // SIGCHLD reaches a handler; ignored, it leaves no zombie.
    r = traced({SPAWN_CASES, "sigchld"});
    EXPECT_EQ("SIGCHLD seen\n", r.out);
    EXPECT_EQ(0, r.status);
    r = traced({SPAWN_CASES, "ignore-chld"});
    EXPECT_EQ("wait: -1 ECHILD\n", r.out);
    EXPECT_NE(nullptr, find(evs, "reaped", -1, "0"));
    r = traced({"/usr/bin/perl", "-e", "$SIG{CHLD} = 'IGNORE'; exec @ARGV",
                SPAWN_CASES, "ignore-chld", "kept"});
    EXPECT_EQ("wait: -1 ECHILD\n", r.out);
    EXPECT_NE(nullptr, find(evs, "reaped", -1, "0"));

    // A stopped job stays stopped until it is continued.
    r = traced({"/bin/sh", "-c",
                "sleep 5 & p=$!; kill -STOP $p; "
                "for i in $(seq 20000); do "
                "grep -q '^State:.*[tT]' /proc/$p/status && break; done; "
                "echo stopped; kill -KILL $p; wait $p; echo $?"});
    EXPECT_EQ("stopped\n137\n", r.out);

    // Output is what reaches our own stdout, whatever its descriptor.
    r = traced({"/bin/sh", "-c", "echo hidden >file; echo shown"});
    EXPECT_EQ("shown\n", r.out);
    EXPECT_EQ(1, count(evs, "write"));
    EXPECT_EQ("shown\n", find(evs, "write")->f[2]);
    // /dev/null is everyone's: what the command sends there is not ours
    // where our own stderr is /dev/null too.
    r = run({SPAWNDRAW, "--events", "run.txt", "/bin/sh", "-c",
             "echo gone >/dev/null; echo shown"},
            "", dir, [] { redirect(2, "/dev/null"); });
    evs = record(dir + "/run.txt");
    EXPECT_EQ(1, count(evs, "write"));
}

// A grandchild whose parent was killed in its fork never gets that fork's
// event: it is placed as /proc tells, not held for good. Each run ends, and
// leaves nothing of it traced.
TEST_F(Traced, AForkThatIsNeverReportedHoldsNothing)
{
    for (int i = 0; i < 50; i++) {
        Result r =
            run({"/usr/bin/timeout", "-s", "KILL", "60", SPAWNDRAW, "--events",
                 "run.txt", SPAWN_CASES, "kill-forker", "20"},
                "", dir);
        ASSERT_TRUE(r.exited && r.status == 0) << "run " << i << ": " << r.err;
        evs = record(dir + "/run.txt");
        ASSERT_FALSE(evs.empty());
        std::string tracer = "TracerPid:\t" + std::to_string(evs[0].pid) + "\n";
        for (const Ev &e : evs) {
            if (e.kind != "fork")
                continue;
            int pid = std::stoi(e.f[0]);
            EXPECT_NE(nullptr, find(evs, "exit", pid)) << "run " << i;
            std::string status;
            if (readFile("/proc/" + e.f[0] + "/status", &status)) {
                EXPECT_EQ(std::string::npos, status.find(tracer)) << pid;
            }
        }
    }
}

// A command that kills the tracer ends the run with it: said, by whom, and
// what was recorded until then is drawn.
TEST_F(Traced, ATracerKilledIsSaid)
{
    Result r =
        traced({"/bin/sh", "-c",
                "echo before; kill -9 $PPID; kill -STOP $$; echo after"});
    EXPECT_EQ("before\n", r.out);
    EXPECT_EQ(128 + SIGKILL, r.status);
    ASSERT_FALSE(evs.empty());
    std::string sh = find(evs, "fork")->f[0];
    EXPECT_NE(std::string::npos,
              r.err.find("spawndraw: the tracer (" +
                         std::to_string(evs[0].pid) +
                         ") was killed by SIGKILL, sent by " + sh +
                         " (sh): the run ended with it\n"))
        << r.err;
    EXPECT_NE(nullptr, find(evs, "write", std::stoi(sh)));
    EXPECT_NE(std::string::npos, r.err.find(" │ before\n")) << r.err;
}

// The record is written whole or not at all: one that was there stays as
// it was through a refusal, and while a run goes, until the new one is
// whole, in the same file.
TEST_F(Traced, AnOldRecordStaysUntilTheNewIsWhole)
{
    const std::string old = dir + "/old.txt";
    writeFile(old, "old record\n");
    std::string text;
    Result r = run({SPAWNDRAW, "--events", "old.txt", "--html",
                    "missing/p.html", "touch", "made"},
                   "", dir);
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(readFile(old, &text) && text == "old record\n") << text;
    // The page would write over the record, by any of its names.
    ASSERT_EQ(0, link(old.c_str(), (dir + "/same.txt").c_str()));
    r = run({SPAWNDRAW, "--events", "old.txt", "--html", "same.txt", "touch",
             "made"},
            "", dir);
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find("are the same file")) << r.err;
    EXPECT_TRUE(readFile(old, &text) && text == "old record\n") << text;
    EXPECT_NE(0, access((dir + "/made").c_str(), F_OK));

    Running p = startReady({"--events", "old.txt"},
                           "trap 'kill $!; exit 7' TERM; echo ready; wait");
    EXPECT_TRUE(readFile(old, &text) && text == "old record\n") << text;
    kill(p.pid, SIGTERM);
    EXPECT_EQ(7, finish(p).status);
    evs = record(old);
    ASSERT_FALSE(evs.empty());
    int sh = std::stoi(find(evs, "fork")->f[0]);
    const Ev *end = find(evs, "exit", sh);
    ASSERT_NE(nullptr, end);
    EXPECT_EQ((std::vector<std::string>{"exited", "7"}), end->f);
    struct stat st;
    EXPECT_TRUE(stat(old.c_str(), &st) == 0 && st.st_nlink == 2);
}

// What joins processes: a pipe made, held and read to its end; a file
// redirected; a write into a pipe no one reads.
TEST_F(Traced, FollowsPipesAndRedirections)
{
    Result r = traced({"/bin/sh", "-c", "ls / | wc -l"});
    const Ev *made = find(evs, "pipe");
    ASSERT_NE(nullptr, made);
    EXPECT_EQ("pipe 1", made->f[0]);
    const Ev *wrote = find(evs, "writeinto", -1, "1");
    ASSERT_NE(nullptr, wrote);
    EXPECT_EQ("pipe 1", wrote->f[1]);
    EXPECT_NE(std::string::npos, wrote->f[3].find("bin\n")) << wrote->f[3];
    const Ev *end = nullptr;
    for (const Ev &e : evs)
        if (e.kind == "readfrom" && e.f[2] == "0")
            end = &e;
    ASSERT_NE(nullptr, end);
    EXPECT_EQ("pipe 1", end->f[1]);
    EXPECT_NE(std::string::npos, r.err.find("sh → wc (wc -l) [0 ← pipe 1]"))
        << r.err;
    EXPECT_NE(std::string::npos, r.err.find(" → pipe 1 │ ")) << r.err;

    r = traced({"/bin/sh", "-c", "echo hi > out.txt; cat out.txt"});
    EXPECT_EQ("hi\n", r.out);
    const Ev *into = find(evs, "writeinto");
    ASSERT_NE(nullptr, into);
    EXPECT_EQ((std::vector<std::string>{"1", dir + "/out.txt", "3", "hi\n"}),
              into->f);

    // Output counts by where it goes: GNU cat copies with
    // copy_file_range, and a dup of standard output is output too.
    writeFile(dir + "/in.txt", "a\nb\n");
    r = traced({"/bin/sh", "-c", "cat in.txt > out.txt; cat in.txt"});
    std::string out;
    for (const Ev &e : evs)
        if (e.kind == "write")
            out += e.f[2];
        else if (e.kind == "writeinto")
            out += e.f[1] + ": " + e.f[3];
    EXPECT_EQ(dir + "/out.txt: a\nb\na\nb\n", out);

    // A crowded pipe: no crash, every writer's write in the record.
    r = traced({SPAWN_CASES, "crowded-pipe"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("200 bytes\n", r.out);
    EXPECT_EQ(100, count(evs, "writeinto"));

    // A pipe read on descriptor 3 by the program that made it, and passed
    // on: the line twice, but not a copied buffer. Past an exec, its reads
    // are not followed, and that is said.
    r = traced({SPAWN_CASES, "relay"});
    EXPECT_EQ("hello\n", r.out);
    EXPECT_NE(std::string::npos,
              r.err.find(" (spawn_cases) read 6 bytes, 1 line\n"))
        << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("stdio's buffer")) << r.err;
    // The parent's close of its write end, followed as the reads are.
    const Ev *closed = find(evs, "fd", -1, "4");
    ASSERT_NE(nullptr, closed);
    EXPECT_EQ((std::vector<std::string>{"4", "closed", "pipe 1"}), closed->f);
    // A stream changed by what isn't followed is said as it is used.
    r = traced({SPAWN_CASES, "reopen", "reopened.txt"});
    const Ev *reopened = find(evs, "fd", -1, "1");
    ASSERT_NE(nullptr, reopened);
    EXPECT_EQ(dir + "/reopened.txt", reopened->f[1]);
    ASSERT_LT(reopened - evs.data() + 1, (long)evs.size());
    EXPECT_EQ((std::vector<std::string>{"1", dir + "/reopened.txt", "12",
                                        "in the file\n"}),
              (reopened + 1)->f);
    // Where the run's input is /dev/null too, a redirection to it is to
    // /dev/null, not to the run's input.
    r = run({"/bin/sh", "-c",
             "\"$0\" --events run.txt sh -c 'echo x >/dev/null' </dev/null",
             SPAWNDRAW},
            "", dir);
    evs = record(dir + "/run.txt");
    ASSERT_NE(nullptr, find(evs, "fd", -1, "1"));
    EXPECT_EQ("/dev/null", find(evs, "fd", -1, "1")->f[1]);
    r = traced({SPAWN_CASES, "cloexec"});
    closed = find(evs, "fd", -1, "4");
    ASSERT_NE(nullptr, closed);
    EXPECT_EQ((std::vector<std::string>{"4", "closed", "pipe 1", "exec"}),
              closed->f);
    r = traced({SPAWN_CASES, "relay", "exec"});
    EXPECT_EQ("hello\n", r.out);
    EXPECT_NE(std::string::npos,
              r.err.find(") kept its read end as descriptor 3 past an exec: "
                         "its reads from there were not followed\n"))
        << r.err;
    EXPECT_EQ(nullptr, find(evs, "readfrom"));
    // Without address randomization the new program's reads come from
    // where the old one's did, and are followed: then they are not said
    // to be unfollowed.
    if (access("/usr/bin/setarch", X_OK) == 0) {
        r = traced({"/usr/bin/setarch", "-R", SPAWN_CASES, "relay", "exec"});
        if (find(evs, "readfrom") != nullptr) {
            EXPECT_EQ(std::string::npos, r.err.find("past an exec")) << r.err;
        }
    }

    r = traced({"/bin/sh", "-c", "yes | head -1"}, {"--explain"});
    EXPECT_EQ("y\n", r.out);
    const Ev *broken = find(evs, "writeinto", -1, "1");
    for (const Ev &e : evs)
        if (e.kind == "writeinto" && e.f[2] == "-1")
            broken = &e;
    ASSERT_NE(nullptr, broken);
    EXPECT_EQ("EPIPE", broken->f[3]);
    EXPECT_NE(std::string::npos,
              r.err.find("killed by SIGPIPE (it wrote into pipe 1, whose read "
                         "end no process holds any more)"))
        << r.err;
}

// A run that hangs on a pipe whose write end was left open says who holds
// it, when it is ended; and --timeout ends a run for good, as timeout(1).
TEST_F(Traced, AHangSaysWhoHoldsThePipe)
{
    Running p =
        start({SPAWNDRAW, "--events", "run.txt", SPAWN_CASES, "forgot-close"},
              "", dir);
    char ready[6];
    ASSERT_EQ(6, read(p.out, ready, sizeof ready));
    kill(p.pid, SIGTERM);
    Result r = finish(p);
    evs = record(dir + "/run.txt");
    int parent = std::stoi(find(evs, "fork")->f[0]);
    const Ev *wc = find(evs, "fork", parent);
    ASSERT_NE(nullptr, wc);
    std::string child = wc->f[0];
    EXPECT_NE(std::string::npos,
              r.err.find(child +
                         " (wc) waits to read pipe 1; its write end "
                         "is still open in " +
                         std::to_string(parent) +
                         " (spawn_cases, descriptor 4): until that closes, wc "
                         "will see no end of file"))
        << r.err;

    r = traced({"/bin/sh", "-c", "sleep 1000 & wait"}, {"--timeout", "0.2"});
    EXPECT_EQ(124, r.status);
    EXPECT_NE(std::string::npos, r.err.find("ran past its 0.2 seconds"));
    for (const Ev &e : evs) {
        if (e.kind == "fork") {
            EXPECT_NE(nullptr, find(evs, "exit", std::stoi(e.f[0])))
                << e.f[0] << " left running";
        }
    }
}

// Whether sig is pending for pid, not yet handled.
bool
pending(pid_t pid, int sig)
{
    std::string status;
    if (!readFile("/proc/" + std::to_string(pid) + "/status", &status))
        return false;
    for (const char *set : {"SigPnd:", "ShdPnd:"}) {
        size_t at = status.find(set);
        if (at != std::string::npos &&
            (std::stoull(status.substr(at + 7), nullptr, 16) >> (sig - 1)) & 1)
            return true;
    }
    return false;
}

// A command deaf to SIGTERM: the second one ends spawndraw, which reports
// the run as still running, and leaves it to go on.
TEST_F(Traced, ASecondTermEndsIt)
{
    Running p = startReady({"--events", "run.txt"},
                           "trap '' TERM; echo ready; exec >/dev/null; wait");
    kill(p.pid, SIGTERM);
    while (pending(p.pid, SIGTERM)) {
    }
    kill(p.pid, SIGTERM);
    Result r = finish(p);
    EXPECT_EQ(128 + SIGTERM, r.status);
    evs = record(dir + "/run.txt");
    EXPECT_LE(1, count(evs, "running"));
    for (const Ev &e : evs)
        if (e.kind == "running")
            kill(e.pid, SIGKILL);
}

// The 32-bit ABI: said, and an exec made through it is the real one.
TEST_F(Traced, TheThirtyTwoBitABIIsSaid)
{
    if (!run({SPAWN_CASES, "int80"}, "", dir).exited)
        GTEST_SKIP() << "this kernel has no 32-bit ABI (int $0x80 faults)";
    Result r = traced({SPAWN_CASES, "int80"});
    EXPECT_EQ("hi\nint80\n", r.out);
    int command = std::stoi(find(evs, "fork")->f[0]);
    const Ev *note = find(evs, "note", command);
    ASSERT_NE(nullptr, note);
    EXPECT_NE(std::string::npos, note->f[0].find("32-bit ABI"));
    ASSERT_EQ(2, count(evs, "exec", command));
    const Ev *echo = &*std::find_if(
        evs.rbegin(), evs.rend(), [](const Ev &e) { return e.kind == "exec"; });
    EXPECT_EQ("echo", echo->f[0].substr(echo->f[0].rfind('/') + 1));
    EXPECT_EQ((std::vector<std::string>{"/bin/echo", "int80"}),
              std::vector<std::string>(echo->f.begin() + 3, echo->f.end()));
}

// A signal sent to spawndraw, as kill or timeout send one, is the
// command's: it answers, and its status is spawndraw's.
TEST_F(Traced, ASignalToItReachesTheCommand)
{
    Running r = startReady(
        {}, "trap 'echo got TERM; kill $!; exit 7' TERM; echo ready; wait; "
            "echo no TERM");
    kill(r.pid, SIGTERM);
    Result got = finish(r);
    EXPECT_EQ("got TERM\n", got.out);
    EXPECT_EQ(7, got.status);
}

// An orphan that outlives the command is waited for, and with
// --no-wait-orphans left running, its output still its own.
TEST_F(Traced, OrphansAreAdoptedAndWaitedFor)
{
    // The orphan writes once its parent has ended.
    const char *script =
        "(while kill -0 $$ 2>/dev/null; do :; done; echo late) & echo early";
    Result r = traced({"/bin/sh", "-c", script});
    EXPECT_EQ("early\nlate\n", r.out);
    const Ev *adopted = find(evs, "adopted");
    ASSERT_NE(nullptr, adopted);
    EXPECT_EQ("1", adopted->f[0]);
    EXPECT_NE(nullptr, find(evs, "exit", adopted->pid));

    r = traced({"/bin/sh", "-c", script}, {"--no-wait-orphans"});
    EXPECT_EQ("early\nlate\n", r.out); // the orphan's write still works
    EXPECT_EQ(0, r.status);
    EXPECT_LE(1, count(evs, "running"));
    EXPECT_EQ(nullptr, find(evs, "write", -1, "late\n"));
}

// Refused tracing runs nothing; where the filter can't be set, every call
// stops instead, said once, and the record is the same.
TEST_F(Traced, RefusedOrUnfiltered)
{
    if (access("/usr/bin/strace", X_OK) == 0) {
        // Under strace -f, the command is strace's to trace, not ours.
        Result r = run({"/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0",
                        "/usr/bin/strace", "-f", "-o", "/dev/null", SPAWNDRAW,
                        "touch", "made"},
                       "", dir);
        EXPECT_EQ(1, r.status);
        EXPECT_EQ(0u, r.err.find("spawndraw: cannot trace touch: Operation "
                                 "not permitted\n"))
            << r.err;
        EXPECT_NE(0, access((dir + "/made").c_str(), F_OK));
    }
    Result filtered = traced({P2SPAWN, "5", "3", "9", "1"});
    std::vector<Ev> before = evs;
    Result r =
        run({"/usr/bin/env", "LD_PRELOAD=" NOSECCOMP,
             "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0", SPAWNDRAW,
             "--events", dir + "/run.txt", P2SPAWN, "5", "3", "9", "1"},
            "", dir);
    evs = record(dir + "/run.txt");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(masked(filtered.out), masked(r.out));
    const char note[] = "spawndraw: every system call stops the run";
    EXPECT_EQ(0u, r.err.find(note)) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find(note, 1)) << r.err;
    ASSERT_FALSE(evs.empty());
    EXPECT_EQ("every-call", evs[0].f[0]);
    for (const char *kind : {"fork", "exec", "wait", "waited", "write", "exit"})
        EXPECT_EQ(count(before, kind), count(evs, kind)) << kind;
}

} // namespace
