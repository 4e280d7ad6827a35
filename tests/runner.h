// Runs a built program the way a person at a terminal would, with files in a
// fresh directory, and captures everything it says.
#pragma once

#include <gtest/gtest.h>

#include <string>
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

// For `prepare`: fd writes to path, or to a pipe whose reader has gone.
void redirect(int fd, const char *path);
void readerGone(int fd);

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
