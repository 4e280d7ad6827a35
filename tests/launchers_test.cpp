// p2spawn and p3spawn with stand-in sorting programs, read through a pipe.
// In an expected output {NAME} stands for a process id: {T} is this test's,
// {P} the launcher's, {C1} and {C2} its children's.

#include "runner.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::string
bracketed(const std::vector<std::string> &args)
{
    std::string s;
    for (const std::string &a : args)
        s += "[" + a + "]";
    return s;
}

std::string
head(const char *label)
{
    return std::string("\n\n") + label + " Process Pid:{P}\tPPid:{T}\n";
}

std::string
announced(const char *child, const char *id)
{
    return std::string("Sort Process ") + child + " Pid:{" + id +
           "}\tPPid:{P}\n";
}

std::string
ran(const char *child, const char *id, const char *stub,
    const std::string &args)
{
    return announced(child, id) + stub + " pid={" + id +
           "} ppid={P} args=" + args + "\n";
}

std::string
failed(const char *child, const char *id)
{
    return announced(child, id) + "-1\n";
}

// Empty when text matches pattern, whose {NAME}s must each stand for one
// number throughout; otherwise where the two part.
std::string
mismatch(const std::string &pattern, const std::string &text,
         std::map<std::string, long> ids)
{
    size_t p = 0, t = 0;
    while (p < pattern.size()) {
        if (pattern[p] != '{') {
            if (t >= text.size() || pattern[p] != text[t])
                return "differs at \"" + text.substr(t) + "\"";
            p++, t++;
            continue;
        }
        size_t close = pattern.find('}', p);
        std::string name = pattern.substr(p + 1, close - p - 1);
        size_t start = t;
        while (t < text.size() && isdigit((unsigned char)text[t]))
            t++;
        if (t == start)
            return "no id for {" + name + "} at \"" + text.substr(t) + "\"";
        long id = std::stol(text.substr(start, t - start));
        if (!ids.emplace(name, id).second && ids[name] != id)
            return "{" + name + "} is " + std::to_string(ids[name]) + ", not " +
                   std::to_string(id);
        p = close + 1;
    }
    return t == text.size() ? "" : "extra \"" + text.substr(t) + "\"";
}

// What the stand-ins note in "runs" when each program ran whole.
std::string
runsOf(const char *first, const char *second)
{
    std::string s;
    for (const char *p : {first, second})
        if (p != nullptr)
            s += std::string("start ") + p + "\nend " + p + "\n";
    return s;
}

Row
launch(const char *name, const std::vector<std::string> &argv,
       const std::string &out, const std::string &err, int status,
       const std::string &runs, void (*prepare)() = nullptr)
{
    return Row{name, argv, "", out, status, err, noFile, runs, prepare};
}

class Launcher : public Table
{
    void expectOut(const std::string &want, const std::string &got) override
    {
        EXPECT_EQ("", mismatch(want, got, {{"T", (long)getpid()}})) << got;
    }
    const char *outName() override
    {
        return "runs";
    }
};

TEST_P(Launcher, ProcessTree)
{
    check();
}

const std::vector<std::string> p2Args = {P2SPAWN, "a b", "", "c"};
const std::vector<std::string> p3Args = {P3SPAWN, "5", "-3"};
const std::vector<std::string> p2Slow = {P2SPAWN, "slow"};
const std::vector<std::string> p3Slow = {P3SPAWN, "slow"};

INSTANTIATE_TEST_SUITE_P(
    Runs, Launcher,
    testing::Values(
        launch("p2_passes_arguments", p2Args,
               head("P2") + ran("P4 Bubble", "C1", "b.o", bracketed(p2Args)) +
                   ran("P5 Insertion", "C2", "i.o", bracketed(p2Args)),
               "", 0, runsOf("b.o", "i.o")),
        launch("p3_passes_arguments", p3Args,
               head("P3") + ran("P6 Heap", "C1", "h.o", bracketed(p3Args)) +
                   ran("P7 Merge", "C2", "m.o", bracketed(p3Args)) + "\nEnd\n",
               "", 0, runsOf("h.o", "m.o")),
        launch("p2_no_arguments", {P2SPAWN},
               head("P2") + ran("P4 Bubble", "C1", "b.o", "[" P2SPAWN "]") +
                   ran("P5 Insertion", "C2", "i.o", "[" P2SPAWN "]"),
               "", 0, runsOf("b.o", "i.o")),
        // The first program ends only once the launcher waits for it; the
        // second starts after its end.
        launch("p2_one_after_the_other", p2Slow,
               head("P2") + ran("P4 Bubble", "C1", "b.o", bracketed(p2Slow)) +
                   ran("P5 Insertion", "C2", "i.o", bracketed(p2Slow)),
               "", 0, runsOf("b.o", "i.o")),
        // The shell's background child is inherited by p3spawn and ends
        // first; it must not be mistaken for the heap sort.
        launch("p3_ignores_inherited_child",
               {"/bin/sh", "-c", "true & exec \"$0\" \"$@\"", P3SPAWN, "slow"},
               head("P3") + ran("P6 Heap", "C1", "h.o", bracketed(p3Slow)) +
                   ran("P7 Merge", "C2", "m.o", bracketed(p3Slow)) + "\nEnd\n",
               "", 0, runsOf("h.o", "m.o"))),
    testing::PrintToStringParamName());

// A missing program: its child reports -1 and ends; nothing runs twice.
const std::vector<std::string> p2Fail = {P2SPAWN, "fail"};
INSTANTIATE_TEST_SUITE_P(
    Missing, Launcher,
    testing::Values(
        launch("p2_second_missing", {P2SPAWN_GAP, "x"},
               head("P2") +
                   ran("P4 Bubble", "C1", "b.o", "[" P2SPAWN_GAP "][x]") +
                   failed("P5 Insertion", "C2"),
               "p2spawn: " HALF "/i.o: No such file or directory\n", 1,
               runsOf("b.o", nullptr)),
        launch("p3_first_missing", {P3SPAWN_GAP},
               head("P3") + failed("P6 Heap", "C1") +
                   ran("P7 Merge", "C2", "m.o", "[" P3SPAWN_GAP "]") +
                   "\nEnd\n",
               "p3spawn: " HALF "/h.o: No such file or directory\n", 1,
               runsOf("m.o", nullptr)),
        // A program that fails fails the run, and the next still runs.
        launch("p2_first_fails", p2Fail,
               head("P2") + ran("P4 Bubble", "C1", "b.o", bracketed(p2Fail)) +
                   ran("P5 Insertion", "C2", "i.o", bracketed(p2Fail)),
               "", 1, runsOf("b.o", "i.o"))),
    testing::PrintToStringParamName());

// Output that can't be written is reported once, with status 1, and each
// program still runs once.
INSTANTIATE_TEST_SUITE_P(
    OutputLost, Launcher,
    testing::Values(
        launch("full", {P2SPAWN}, "",
               "p2spawn: standard output: No space left on device\n", 1,
               runsOf("b.o", "i.o"), [] { redirect(1, "/dev/full"); }),
        launch("closed", {P2SPAWN}, "",
               "p2spawn: standard output: Bad file descriptor\n", 1,
               runsOf("b.o", "i.o"), [] { close(1); }),
        launch("reader_gone", {P3SPAWN}, "",
               "p3spawn: standard output: Broken pipe\n", 1,
               runsOf("h.o", "m.o"), [] { readerGone(1); })),
    testing::PrintToStringParamName());

// The delivered object files hold the programs' paths, and each links alone
// into its program.
TEST_F(InDir, ObjectFilesLinkAlone)
{
    struct Case {
        const char *name, *head, *first, *second, *paths[2];
    } cases[] = {
        {"p2spawn",
         "\n\nP2 Process Pid:",
         "P4 Bubble",
         "P5 Insertion",
         {"/b.o", "/i.o"}},
        {"p3spawn",
         "\n\nP3 Process Pid:",
         "P6 Heap",
         "P7 Merge",
         {"/h.o", "/m.o"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string object = std::string(OBJECT_DIR "/") + c.name + ".o";
        std::string bytes;
        ASSERT_TRUE(readFile(object, &bytes));
        for (const char *path : c.paths)
            EXPECT_NE(std::string::npos,
                      bytes.find(std::string(SORT_PROGRAM_DIR) + path))
                << path;

        std::string program = dir + "/" + c.name;
        std::vector<std::string> link = {CXX, object, "-o", program};
        if (SANITIZE)
            link.insert(link.begin() + 1, "-fsanitize=address,undefined");
        Result built = run(link, "", dir);
        ASSERT_EQ(0, built.status) << built.err;

        // Nothing stands at the paths built in, on this machine.
        Result r = run({program}, "", dir);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(1, r.status);
        EXPECT_EQ(std::string(c.name) + ": " SORT_PROGRAM_DIR + c.paths[0] +
                      ": No such file or directory\n" + c.name +
                      ": " SORT_PROGRAM_DIR + c.paths[1] +
                      ": No such file or directory\n",
                  r.err);
        EXPECT_EQ(c.head, r.out.substr(0, strlen(c.head)));
        EXPECT_NE(std::string::npos,
                  r.out.find(std::string("Sort Process ") + c.first));
        EXPECT_NE(std::string::npos,
                  r.out.find(std::string("Sort Process ") + c.second));
    }
}

// A child that can't be made is reported, and its step skipped. As root,
// the launcher runs as nobody, whose processes the limit can count. The
// leak checker needs a thread of its own, which the limit forbids too.
TEST_F(InDir, ForkFails)
{
    ASSERT_EQ(0, chmod(dir.c_str(), 0777));
    Result r = run({P2SPAWN}, "", dir, [] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(125);
        setenv("ASAN_OPTIONS", "abort_on_error=1:detect_leaks=0", 1);
        struct rlimit none = {0, 0};
        setrlimit(RLIMIT_NPROC, &none);
    });
    if (r.status == 125 || r.status == 126)
        GTEST_SKIP() << "can't run the launcher as another user here";
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", mismatch(head("P2"), r.out, {{"T", (long)getpid()}}));
    EXPECT_EQ("p2spawn: fork: Resource temporarily unavailable\n"
              "p2spawn: fork: Resource temporarily unavailable\n",
              r.err);
}

} // namespace
