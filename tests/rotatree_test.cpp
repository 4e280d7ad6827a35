// rotatree end to end: typed input, and what must come out on stdout and
// stderr. An @ in the expected stdout stands for the found node's address.

#include "runner.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace
{

const std::string askCount = "Enter number of elements: ";
const std::string askSearch = "Inserted!\nEnter element to search: ";

std::string
block(const std::string &listing)
{
    return "\nIn Insert!\n" + listing + "\n\n";
}

// The address is printed with no separator before the listing, so it is
// whatever stands between the text before @ and the text known to follow.
void
expectOutput(const std::string &expected, const std::string &got)
{
    size_t at = expected.find('@');
    if (at == std::string::npos) {
        EXPECT_EQ(expected, got);
        return;
    }
    std::string before = expected.substr(0, at),
                after = expected.substr(at + 1);
    ASSERT_GE(got.size(), before.size() + after.size()) << got;
    EXPECT_EQ(before, got.substr(0, before.size()));
    EXPECT_EQ(after, got.substr(got.size() - after.size()));
    std::string address =
        got.substr(before.size(), got.size() - before.size() - after.size());
    EXPECT_TRUE(
        address.size() >= 1 && address.size() <= 8 && address[0] != '0' &&
        address.find_first_not_of("0123456789abcdef") == std::string::npos)
        << "address \"" << address << "\"";
}

Row
answers(const char *name, const std::string &in, const std::string &out,
        int status, const std::string &err, void (*prepare)() = nullptr)
{
    return Row{name, {ROTATREE}, in, out, status, err, noFile, noFile, prepare};
}

class Rotatree : public Table
{
    void expectOut(const std::string &want, const std::string &got) override
    {
        expectOutput(want, got);
    }
};

TEST_P(Rotatree, Dialogue)
{
    check();
}
INSTANTIATE_TEST_SUITE_P(
    Dialogues, Rotatree,
    testing::Values(
        answers("not_found", "3\n1 2 3\n4\n",
                askCount + block("1 2 ") + block("1 2 3 ") + block("1 2 3 ") +
                    askSearch + "Element not found\n1 2 3 \nExit!\n",
                0, ""),
        answers("found", "3\n3\n2\n1\n1\n",
                askCount + block("2 3 ") + block("1 2 3 ") + block("1 2 3 ") +
                    askSearch + "Element 1 found at @1 2 3 \nExit!\n",
                0, ""),
        answers("count_zero", "0\n5\n",
                askCount + askSearch + "Element not found\n\nExit!\n", 0, ""),
        answers("count_negative", "-3 7",
                askCount + askSearch + "Element not found\n\nExit!\n", 0, ""),
        answers("one_value_no_trace", "1 42 42",
                askCount + askSearch + "Element 42 found at @42 \nExit!\n", 0,
                ""),
        answers("duplicates_listed_twice", "3\n5 5 5\n6\n",
                askCount + block("5 5 ") + block("5 5 5 ") + block("5 5 5 ") +
                    askSearch + "Element not found\n5 5 5 \nExit!\n",
                0, ""),
        answers("extremes", "2 -2147483648 2147483647 -2147483648",
                askCount + block("-2147483648 2147483647 ") + askSearch +
                    "Element -2147483648 found at @-2147483648 2147483647 "
                    "\nExit!\n",
                0, "")),
    testing::PrintToStringParamName());

// A read that fails ends the dialogue where it stands, with status 1.
INSTANTIATE_TEST_SUITE_P(
    Errors, Rotatree,
    testing::Values(
        answers("no_input", "", askCount, 1,
                "rotatree: number of elements: end of input\n"),
        answers("count_not_a_number", "three\n", askCount, 1,
                "rotatree: number of elements: not a number\n"),
        answers("count_beyond_32_bits", "99999999999999999999\n", askCount, 1,
                "rotatree: number of elements: out of range\n"),
        answers("values_end_early", "3\n1 2\n", askCount + block("1 2 "), 1,
                "rotatree: element 3: end of input\n"),
        answers("value_not_a_number", "2\n1 x\n", askCount, 1,
                "rotatree: element 2: not a number\n"),
        answers("value_beyond_32_bits", "1\n2147483648\n", askCount, 1,
                "rotatree: element 1: out of range\n"),
        answers("no_search_value", "1\n1\n", askCount + askSearch, 1,
                "rotatree: element to search: end of input\n"),
        answers("search_value_beyond_32_bits", "1 1 -2147483649",
                askCount + askSearch, 1,
                "rotatree: element to search: out of range\n"),
        // Lost output is reported, never silent and never a
        // signal.
        answers("reader_gone", "3\n1 2 3\n4\n", "", 1,
                "rotatree: standard output: Broken pipe\n",
                [] { readerGone(1); }),
        answers("output_full", "3\n1 2 3\n4\n", "", 1,
                "rotatree: standard output: No space left on device\n",
                [] { redirect(1, "/dev/full"); })),
    testing::PrintToStringParamName());

// Each prompt is flushed before its answer is read, for a program that
// drives rotatree through pipes and answers only what it has been asked.
TEST_F(InDir, RotatreeAsksBeforeReading)
{
    Result r =
        converse({ROTATREE}, dir, {{askCount, "2\n2 1\n"}, {askSearch, "1\n"}});
    EXPECT_EQ(0, r.status) << r.err;
    expectOutput(askCount + block("1 2 ") + askSearch +
                     "Element 1 found at @1 2 \nExit!\n",
                 r.out);
}

// The address space a run is limited to.
rlim_t limit;

Result
runLimited(const std::string &in, const std::string &dir)
{
    return run({ROTATREE}, in, dir, [] {
        struct rlimit l = {limit, limit};
        setrlimit(RLIMIT_DATA, &l);
    });
}

// Under any memory limit that lets it start at all, it runs, or it says it
// is out of memory: never an abort. The limits tried start from the least
// with which it starts (it asks for the count), whatever the C library's
// own needs are, and go up from there until it runs whole.
TEST_F(InDir, RotatreeMemoryLimits)
{
    if (SANITIZE)
        GTEST_SKIP() << "the sanitizers need more memory than the limits";
    rlim_t low = 0, high = 64 << 20;
    while (high - low > 4096) {
        limit = (low + high) / 2;
        (runLimited("", dir).out == askCount ? high : low) = limit;
    }
    int outOfMemory = 0, whole = 0;
    for (limit = high; limit < high + (1 << 20) && whole < 3;
         limit += 8 << 10) {
        SCOPED_TRACE(limit);
        Result r = runLimited("3\n1 2 3\n4\n", dir);
        ASSERT_TRUE(r.exited) << "killed by signal " << r.status;
        if (r.status == 1) {
            EXPECT_EQ("rotatree: out of memory\n", r.err);
            outOfMemory++;
        } else {
            EXPECT_EQ(0, r.status) << r.err;
            EXPECT_NE(std::string::npos, r.out.find("1 2 3 \nExit!\n"));
            whole++;
        }
    }
    EXPECT_GT(outOfMemory, 0)
        << "no limit from " << high << " ran out of memory after the start";
    EXPECT_EQ(3, whole) << "no limit up to " << limit << " let it run whole";
}

} // namespace
