// Runs a built program the way a person at a terminal would, with files in a
// fresh directory, and captures everything it says; and the one table that
// every program's end-to-end cases are rows of.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

struct Result {
    bool exited; // false: killed by a signal, which is always a fault
    int status;  // exit status, or the signal's number
    std::string out;
    std::string err;
};

// A fresh directory, removed again by removeDir.
std::string makeDir();
void removeDir(const std::string &dir);

void writeFile(const std::string &path, const std::string &text);
bool readFile(const std::string &path, std::string *text);

// Runs argv in dir with stdin holding `in`; stdout is read through a pipe,
// as by a program that drives the one under test. LC_ALL is C, and no other
// descriptor is open. `prepare`, if given, runs in the child just before
// the program starts, to change what it starts with: a closed stream, a
// limit.
Result run(const std::vector<std::string> &argv, const std::string &in,
           const std::string &dir, void (*prepare)() = nullptr);

// The same, in two halves, to act on the program while it runs.
struct Running {
    pid_t pid;
    int out; // the pipe from its stdout
    int err; // the file of its stderr
};
Running start(const std::vector<std::string> &argv, const std::string &in,
              const std::string &dir, void (*prepare)() = nullptr);
Result finish(const Running &r);

// For `prepare`: fd writes to path, or to a pipe whose reader has gone.
void redirect(int fd, const char *path);
void readerGone(int fd);

// Runs argv as a program that drives it through pipes would: each answer
// is written only once stdout ends with its prompt, so a prompt not
// flushed before its read fails the run (after 10 s) rather than passing.
Result
converse(const std::vector<std::string> &argv, const std::string &dir,
         const std::vector<std::pair<std::string, std::string>> &dialogue);

// Runs a shell script in dir, with $0 the program under test. Every wait
// in it is bounded: a state that never comes ends the script with status
// 99 and says which. Beside the shell's own, it has:
//   fail WHY             end the script, saying why
//   poll WHY COMMAND...  run COMMAND until it succeeds, or fail saying WHY
//   waitFor FILE TEXT    wait until FILE holds TEXT
Result script(const std::string &dir, const std::string &program,
              const std::string &body);

// A test that runs in a fresh directory of its own.
class InDir : public testing::Test
{
  protected:
    void SetUp() override
    {
        dir = makeDir();
    }
    void TearDown() override
    {
        removeDir(dir);
    }
    std::string dir;
};

// Stands for a file that must not be there.
extern const char *const noFile;

// One case of a program's table: what it is given, and what must come out
// on each channel and in its files.
struct Row {
    const char *name;
    std::vector<std::string> argv;
    std::string in;  // standard input
    std::string out; // standard output
    int status;
    std::string err;             // standard error
    std::string input = noFile;  // in.txt, before the run and after it
    std::string file = noFile;   // the file it writes, after the run
    void (*prepare)() = nullptr; // for run()
};

std::ostream &operator<<(std::ostream &os, const Row &row);

// The table's fixture: runs the row and checks every channel, the file the
// program writes (outName) and in.txt exactly, stdout through expectOut.
class Table : public InDir, public testing::WithParamInterface<Row>
{
  protected:
    virtual void expectOut(const std::string &want, const std::string &got)
    {
        EXPECT_EQ(want, got);
    }
    virtual const char *outName()
    {
        return "out.txt";
    }
    void check();
};
