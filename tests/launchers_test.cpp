// p2spawn and p3spawn with stand-in sorting programs, read through a pipe.
// In an expected output {NAME} stands for a process id: {T} is this test's,
// {P} the launcher's, {C1} and {C2} its children's.

#include "runner.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>

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

struct Row {
    const char *name;
    std::vector<std::string> argv;
    std::string out;
    std::string err;
    int status;
};

std::ostream &
operator<<(std::ostream &os, const Row &row)
{
    return os << row.name;
}

class Launcher : public InDir, public testing::WithParamInterface<Row>
{
};

TEST_P(Launcher, ProcessTree)
{
    const Row &row = GetParam();
    Result r = run(row.argv, "", dir);
    ASSERT_TRUE(r.exited) << "killed by signal " << r.status;
    EXPECT_EQ(row.status, r.status);
    EXPECT_EQ("", mismatch(row.out, r.out, {{"T", (long)getpid()}})) << r.out;
    EXPECT_EQ(row.err, r.err);
}

const std::vector<std::string> p2Args = {P2SPAWN, "a b", "", "c"};
const std::vector<std::string> p3Args = {P3SPAWN, "5", "-3"};
const std::vector<std::string> p2Slow = {P2SPAWN, "slow"};
const std::vector<std::string> p3Slow = {P3SPAWN, "slow"};

INSTANTIATE_TEST_SUITE_P(
    Runs, Launcher,
    testing::Values(
        Row{"p2_passes_arguments", p2Args,
            head("P2") + ran("P4 Bubble", "C1", "b.o", bracketed(p2Args)) +
                ran("P5 Insertion", "C2", "i.o", bracketed(p2Args)),
            "", 0},
        Row{"p3_passes_arguments", p3Args,
            head("P3") + ran("P6 Heap", "C1", "h.o", bracketed(p3Args)) +
                ran("P7 Merge", "C2", "m.o", bracketed(p3Args)) + "\nEnd\n",
            "", 0},
        Row{"p2_no_arguments",
            {P2SPAWN},
            head("P2") + ran("P4 Bubble", "C1", "b.o", "[" P2SPAWN "]") +
                ran("P5 Insertion", "C2", "i.o", "[" P2SPAWN "]"),
            "",
            0},
        // The first program sleeps: the second child waits for its end.
        Row{"p2_one_after_the_other", p2Slow,
            head("P2") + ran("P4 Bubble", "C1", "b.o", bracketed(p2Slow)) +
                ran("P5 Insertion", "C2", "i.o", bracketed(p2Slow)),
            "", 0},
        // The shell's background child is inherited by p3spawn and ends
        // first; it must not be mistaken for the sleeping heap sort.
        Row{"p3_ignores_inherited_child",
            {"/bin/sh", "-c", "true & exec \"$0\" \"$@\"", P3SPAWN, "slow"},
            head("P3") + ran("P6 Heap", "C1", "h.o", bracketed(p3Slow)) +
                ran("P7 Merge", "C2", "m.o", bracketed(p3Slow)) + "\nEnd\n",
            "",
            0}),
    testing::PrintToStringParamName());

// A missing program: its child reports -1 and ends; nothing runs twice.
const std::vector<std::string> p2Fail = {P2SPAWN, "fail"};
INSTANTIATE_TEST_SUITE_P(
    Missing, Launcher,
    testing::Values(
        Row{"p2_second_missing",
            {P2SPAWN_GAP, "x"},
            head("P2") + ran("P4 Bubble", "C1", "b.o", "[" P2SPAWN_GAP "][x]") +
                failed("P5 Insertion", "C2"),
            "p2spawn: " HALF "/i.o: No such file or directory\n",
            1},
        Row{"p3_first_missing",
            {P3SPAWN_GAP},
            head("P3") + failed("P6 Heap", "C1") +
                ran("P7 Merge", "C2", "m.o", "[" P3SPAWN_GAP "]") + "\nEnd\n",
            "p3spawn: " HALF "/h.o: No such file or directory\n",
            1},
        // A program that fails fails the run, and the next still runs.
        Row{"p2_first_fails", p2Fail,
            head("P2") + ran("P4 Bubble", "C1", "b.o", bracketed(p2Fail)) +
                ran("P5 Insertion", "C2", "i.o", bracketed(p2Fail)),
            "", 1}),
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

        Result r = run({program}, "", dir);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(c.head, r.out.substr(0, strlen(c.head)));
        EXPECT_NE(std::string::npos,
                  r.out.find(std::string("Sort Process ") + c.first));
        EXPECT_NE(std::string::npos,
                  r.out.find(std::string("Sort Process ") + c.second));
    }
}

// Output that can't be written is reported once, with status 1, and each
// program still runs once.
TEST_F(InDir, LaunchersOutputLost)
{
    struct Case {
        const char *launcher;
        void (*prepare)();
        const char *err;
        const char *runs;
    } cases[] = {
        {P2SPAWN, [] { redirect(1, "/dev/full"); },
         "p2spawn: standard output: No space left on device\n", "b.o\ni.o\n"},
        {P2SPAWN, [] { close(1); },
         "p2spawn: standard output: Bad file descriptor\n", "b.o\ni.o\n"},
        {P3SPAWN, [] { readerGone(1); },
         "p3spawn: standard output: Broken pipe\n", "h.o\nm.o\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.err);
        Result r = run({c.launcher}, "", dir, c.prepare);
        ASSERT_TRUE(r.exited) << "killed by signal " << r.status;
        EXPECT_EQ(1, r.status);
        EXPECT_EQ(c.err, r.err);
        std::string runs;
        EXPECT_TRUE(readFile(dir + "/runs", &runs));
        EXPECT_EQ(c.runs, runs);
        unlink((dir + "/runs").c_str());
    }
}

} // namespace
