// chronsort end to end: each row is the dialogue's answers, the input file
// in.txt, and what must come out on stdout, in out.txt and on stderr.

#include "runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <tuple>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

using namespace std::string_literals;

const std::string askIn = "Enter input file name containing Dates in format "
                          "dd/mm/yyyy, Space or new line seperated: ";
const std::string askOut = "Enter output file name: ";
const std::string done =
    askIn + askOut + "Done!! Output saved in file: out.txt\n";
const char *const noFile = "<no file>";

struct Row {
    const char *name;
    std::string answers;
    std::string input;
    std::string out;
    std::string file; // expected out.txt, or noFile
    int status;
    std::string err;
};

std::ostream &
operator<<(std::ostream &os, const Row &row)
{
    return os << row.name;
}

// Dates first..last of one month, written in the order given.
std::string
days(int first, int last, const char *sep, const char *end)
{
    std::string s;
    int step = first <= last ? 1 : -1;
    for (int d = first;; d += step) {
        s += std::to_string(d) + "/1/2000" + (d == last ? end : sep);
        if (d == last)
            return s;
    }
}

Result
runIn(const std::string &dir, const std::string &answers)
{
    return run({CHRONSORT}, answers, dir);
}

class Chronsort : public InDir, public testing::WithParamInterface<Row>
{
};

TEST_P(Chronsort, Dialogue)
{
    const Row &row = GetParam();
    writeFile(dir + "/in.txt", row.input);
    Result r = runIn(dir, row.answers);
    ASSERT_TRUE(r.exited) << "killed by signal " << r.status;
    EXPECT_EQ(row.status, r.status);
    EXPECT_EQ(row.out, r.out);
    EXPECT_EQ(row.err, r.err);
    std::string file = noFile;
    readFile(dir + "/out.txt", &file);
    EXPECT_EQ(row.file, file);
    std::string input;
    ASSERT_TRUE(readFile(dir + "/in.txt", &input));
    EXPECT_EQ(row.input, input) << "the input file was changed";
}

const std::string in = "in.txt out.txt\n";

// Ordinary files: year decides, then month, then day; numbers as read.
INSTANTIATE_TEST_SUITE_P(
    Sorts, Chronsort,
    testing::Values(
        Row{"typical", in, "05/06/2001 03/04/2002\n01/02/2001\n", done,
            "1/2/2001 5/6/2001 3/4/2002 ", 0, ""},
        Row{"no_line_end_any_blanks", "\n  in.txt\n\tout.txt",
            "05/06/2001\t\t03/04/2002 \n\n 01/02/2001", done,
            "1/2/2001 5/6/2001 3/4/2002 ", 0, ""},
        Row{"empty", in, "", done, "", 0, ""},
        Row{"white_space_only", in, " \n\t\n", done, "", 0, ""},
        Row{"year_then_month_then_day", in,
            "1/1/2000 10/12/1999 2/3/2000 1/3/2000 9/2/2000", done,
            "10/12/1999 1/1/2000 9/2/2000 1/3/2000 2/3/2000 ", 0, ""},
        Row{"negative_year_first", in, "1/1/0 5/5/-1 1/1/2000 31/12/-1", done,
            "5/5/-1 31/12/-1 1/1/0 1/1/2000 ", 0, ""},
        Row{"equal_dates_all_kept", in, "3/3/3 1/1/1 3/3/3 03/3/3", done,
            "1/1/1 3/3/3 3/3/3 3/3/3 ", 0, ""},
        Row{"leading_zeros_and_signs", in, "08/09/2001 +1/+2/+3 -0/0/0", done,
            "0/0/0 1/2/3 8/9/2001 ", 0, ""},
        Row{"no_calendar_check", in, "31/02/2001 0/0/0 99/99/2001", done,
            "0/0/0 31/2/2001 99/99/2001 ", 0, ""},
        Row{"exactly_77", in, days(77, 1, " ", ""), done, days(1, 77, " ", " "),
            0, ""},
        Row{"more_than_77", in, days(300, 1, "\n", "\n"), done,
            days(1, 300, " ", " "), 0, ""}),
    testing::PrintToStringParamName());

// Twelve dates cut short, one a line from 12/1 down to 1/1: ten are
// reported, then how many more there were.
Row
manyCutShort()
{
    std::string input, err;
    for (int d = 12; d > 0; d--) {
        input += std::to_string(d) + "/1\n";
        if (d > 2)
            err += "chronsort: in.txt:" + std::to_string(13 - d) +
                   ": incomplete date, read as " + std::to_string(d) + "/1/0\n";
    }
    err += "chronsort: in.txt: 2 more dates not read whole\n";
    std::string file;
    for (int d = 1; d <= 12; d++)
        file += std::to_string(d) + "/1/0 ";
    return Row{"warnings_capped", in, input, done, file, 0, err};
}

// Text that is not a date ends the reading; what was read is still sorted.
INSTANTIATE_TEST_SUITE_P(
    OddInput, Chronsort,
    testing::Values(
        Row{"word_stops_reading", in, "1/2/2000 hello 3/4/1999", done,
            "1/2/2000 ", 0,
            "chronsort: in.txt:1: \"hello\": not a date; the rest of the "
            "file is ignored\n"},
        Row{"lone_sign_stops_reading", in, "1/2/2000\n\n-x 3/4/1999\n", done,
            "1/2/2000 ", 0,
            "chronsort: in.txt:3: \"-x\": not a date; the rest of the file "
            "is ignored\n"},
        // The blank ends the first date after its day; the slash ends reading.
        Row{"blank_before_slash", in, "1 /2/2000", done, "1/0/0 ", 0,
            "chronsort: in.txt:1: incomplete date, read as 1/0/0\n"
            "chronsort: in.txt:1: \"/2/2000\": not a date; the rest of the "
            "file is ignored\n"},
        Row{"cut_short_at_end", in, "3/4/5\n12/05", done, "12/5/0 3/4/5 ", 0,
            "chronsort: in.txt:2: incomplete date, read as 12/5/0\n"},
        Row{"cut_short_then_more", in, "12/05 3/4/5", done, "12/5/0 3/4/5 ", 0,
            "chronsort: in.txt:1: incomplete date, read as 12/5/0\n"},
        // Saturated, so they still sort past every ordinary date.
        Row{"beyond_32_bits", in,
            "1/1/99999999999999999999999 2/2/2 1/1/-3000000000", done,
            "1/1/-2147483648 2/2/2 1/1/2147483647 ", 0,
            "chronsort: in.txt:1: number out of range, read as "
            "1/1/2147483647\n"
            "chronsort: in.txt:1: number out of range, read as "
            "1/1/-2147483648\n"},
        // Messages never pass a file's bytes raw to the terminal.
        Row{"control_bytes_escaped", in, "1/1/1 \033[2J\0x\\"s, done, "1/1/1 ",
            0,
            "chronsort: in.txt:1: \"\\033[2J\\000x\\\\\": not a date; the "
            "rest of the file is ignored\n"},
        Row{"long_text_cut", in, "1/1/1 " + std::string(500, 'a'), done,
            "1/1/1 ", 0,
            "chronsort: in.txt:1: \"" + std::string(96, 'a') +
                "...\": not a date; the rest of the file is ignored\n"},
        Row{"lines_counted_inside_dates", in, "1/\n2/\n2000\nword", done,
            "1/2/2000 ", 0,
            "chronsort: in.txt:4: \"word\": not a date; the rest of the "
            "file is ignored\n"},
        manyCutShort()),
    testing::PrintToStringParamName());

// Failures: a message on stderr, status 1, never "Done!!".
INSTANTIATE_TEST_SUITE_P(
    Errors, Chronsort,
    testing::Values(
        Row{"no_input_name", "", "1/1/1", askIn, noFile, 1,
            "chronsort: input file name: end of input\n"},
        Row{"no_output_name", "in.txt\n", "1/1/1", askIn + askOut, noFile, 1,
            "chronsort: output file name: end of input\n"},
        Row{"missing_input", "nothere.txt out.txt", "1/1/1", askIn, noFile, 1,
            "chronsort: nothere.txt: No such file or directory\n"},
        Row{"name_escaped", "no\033[2J.txt out.txt", "1/1/1", askIn, noFile, 1,
            "chronsort: no\\033[2J.txt: No such file or directory\n"},
        Row{"input_is_directory", ". out.txt", "1/1/1", askIn, noFile, 1,
            "chronsort: .: Is a directory\n"},
        Row{"read_error", "/proc/self/mem out.txt", "", askIn + askOut, noFile,
            1, "chronsort: /proc/self/mem: Input/output error\n"},
        Row{"output_is_directory", "in.txt .", "1/1/1", askIn + askOut, noFile,
            1, "chronsort: .: Is a directory\n"},
        Row{"output_device_full", "in.txt /dev/full", "2/2/2 1/1/1",
            askIn + askOut, noFile, 1,
            "chronsort: /dev/full: No space left on device\n"}),
    testing::PrintToStringParamName());

class ChronsortFiles : public InDir
{
};

// The output may name the input file, directly or through a link: the file
// then holds its own dates sorted, and a link stays a link.
TEST_F(ChronsortFiles, SortsInPlace)
{
    struct Case {
        const char *answers;
        const char *link; // made to point at in.txt, or nullptr
        bool symbolic;
    } cases[] = {{"in.txt in.txt", nullptr, false},
                 {"in.txt ./in.txt", nullptr, false},
                 {"in.txt soft.txt", "soft.txt", true},
                 {"in.txt hard.txt", "hard.txt", false},
                 // The input is the program's first open file.
                 {"in.txt /dev/fd/3", nullptr, false},
                 {"in.txt /proc/self/fd/3", nullptr, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answers);
        writeFile(dir + "/in.txt", "3/3/3 1/1/1 2/2/2\n");
        std::string link = dir + "/" + (c.link ? c.link : "");
        if (c.link) {
            int made = c.symbolic
                           ? symlink("in.txt", link.c_str())
                           : ::link((dir + "/in.txt").c_str(), link.c_str());
            ASSERT_EQ(0, made);
        }
        Result r = runIn(dir, c.answers);
        EXPECT_EQ(0, r.status);
        EXPECT_EQ("", r.err);
        std::string text;
        ASSERT_TRUE(readFile(dir + "/in.txt", &text));
        EXPECT_EQ("1/1/1 2/2/2 3/3/3 ", text);
        struct stat st;
        if (c.link) {
            ASSERT_EQ(0, lstat(link.c_str(), &st));
            EXPECT_EQ(c.symbolic, S_ISLNK(st.st_mode));
            ASSERT_TRUE(readFile(link, &text));
            EXPECT_EQ("1/1/1 2/2/2 3/3/3 ", text);
            unlink(link.c_str());
        }
    }
}

// Sorted in place, text that was not read, or not read whole, would be lost:
// the file stays as it is.
INSTANTIATE_TEST_SUITE_P(
    InPlace, Chronsort,
    testing::Values(
        Row{"out_of_range", "in.txt in.txt", "3/3/3 1/1/99999999999",
            askIn + askOut, noFile, 1,
            "chronsort: in.txt:1: number out of range, read as "
            "1/1/2147483647\n"
            "chronsort: in.txt: is the input file, and dates in it could not "
            "be read whole; nothing written\n"},
        Row{"sign_without_number", "in.txt in.txt", "3/3/3 1/2/-",
            askIn + askOut, noFile, 1,
            "chronsort: in.txt:1: incomplete date, read as 1/2/0\n"
            "chronsort: in.txt: is the input file, and dates in it could not "
            "be read whole; nothing written\n"},
        Row{"cut_short", "in.txt in.txt", "5/5/5 1/2", askIn + askOut, noFile,
            1,
            "chronsort: in.txt:1: incomplete date, read as 1/2/0\n"
            "chronsort: in.txt: is the input file, and dates in it could not "
            "be read whole; nothing written\n"}),
    testing::PrintToStringParamName());

// Sorting in place would destroy the text after the dates that were read.
TEST_F(ChronsortFiles, KeepsInputWithUnreadText)
{
    writeFile(dir + "/in.txt", "2/2/2 1/1/1 notes\n");
    Result r = runIn(dir, "in.txt in.txt");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(askIn + askOut, r.out);
    std::string text;
    ASSERT_TRUE(readFile(dir + "/in.txt", &text));
    EXPECT_EQ("2/2/2 1/1/1 notes\n", text);
}

// Names have no length limit; the message names the output file.
TEST_F(ChronsortFiles, LongNames)
{
    std::string inName(250, 'i'), outName(255, 'o');
    writeFile(dir + "/" + inName, "2/2/2 1/1/1");
    Result r = runIn(dir, inName + "\n" + outName + "\n");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(askIn + askOut + "Done!! Output saved in file: " + outName + "\n",
              r.out);
    std::string text;
    ASSERT_TRUE(readFile(dir + "/" + outName, &text));
    EXPECT_EQ("1/1/1 2/2/2 ", text);
}

// Sorted as a stable sort by year, month and day would: random dates, few
// enough values that many are equal, for counts of both parities (the sort
// makes two passes at a time) and nearly sorted files, whose earliest date
// comes last and moves one place a pass. A day beyond 16 bits takes the
// plain way.
TEST_F(ChronsortFiles, SortsLikeStableSort)
{
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> pick(-2, 2);
    for (int n : {2, 3, 4, 5, 16, 17, 100, 101, -40, -41, 0}) {
        SCOPED_TRACE(n);
        std::vector<std::tuple<int, int, int>> dates; // year, month, day
        for (int i = 0; i < abs(n); i++)
            if (n > 0)
                dates.emplace_back(pick(random), pick(random), pick(random));
            else
                dates.emplace_back(2000, 1, i + 2);
        if (n < 0)
            dates.emplace_back(1999, 12, 31);
        if (n == 0)
            dates = {{1, 1, 70000}, {1, 1, 5}, {0, 1, -70000}, {1, 1, 5}};
        std::string text, want;
        for (auto [y, m, d] : dates)
            text += std::to_string(d) + "/" + std::to_string(m) + "/" +
                    std::to_string(y) + "\n";
        std::stable_sort(dates.begin(), dates.end());
        for (auto [y, m, d] : dates)
            want += std::to_string(d) + "/" + std::to_string(m) + "/" +
                    std::to_string(y) + " ";
        writeFile(dir + "/in.txt", text);
        Result r = runIn(dir, in);
        EXPECT_EQ(0, r.status) << r.err;
        std::string got;
        ASSERT_TRUE(readFile(dir + "/out.txt", &got));
        EXPECT_EQ(want, got);
    }
}

// Standard streams closed, full or broken: the output file is still
// written whole, nothing else is touched, and a lost stdout is reported.
struct Surrounding {
    const char *name;
    void (*prepare)();
    int status;
    std::string err;
};

std::ostream &
operator<<(std::ostream &os, const Surrounding &s)
{
    return os << s.name;
}

class ChronsortSurroundings : public InDir,
                              public testing::WithParamInterface<Surrounding>
{
};

TEST_P(ChronsortSurroundings, OutputFileWhole)
{
    writeFile(dir + "/in.txt", "2/2/2 1/1/1 3/3");
    Result r = run({CHRONSORT}, in, dir, GetParam().prepare);
    ASSERT_TRUE(r.exited) << "killed by signal " << r.status;
    EXPECT_EQ(GetParam().status, r.status);
    EXPECT_EQ(GetParam().err, r.err);
    std::string text;
    ASSERT_TRUE(readFile(dir + "/out.txt", &text));
    EXPECT_EQ("3/3/0 1/1/1 2/2/2 ", text);
    ASSERT_TRUE(readFile(dir + "/in.txt", &text));
    EXPECT_EQ("2/2/2 1/1/1 3/3", text);
}

const std::string warning = "chronsort: in.txt:1: incomplete date, read as "
                            "3/3/0\n";

INSTANTIATE_TEST_SUITE_P(
    Streams, ChronsortSurroundings,
    testing::Values(
        Surrounding{"stdout_closed", [] { close(1); }, 1,
                    warning + "chronsort: standard output: Bad file "
                              "descriptor\n"},
        Surrounding{"stderr_closed", [] { close(2); }, 0, ""},
        Surrounding{"stdout_full", [] { redirect(1, "/dev/full"); }, 1,
                    warning + "chronsort: standard output: No space left on "
                              "device\n"},
        Surrounding{"stderr_reader_gone", [] { readerGone(2); }, 0, ""}),
    testing::PrintToStringParamName());

// Memory runs out while the dates are read: nothing is created or emptied.
TEST_F(ChronsortFiles, OutOfMemory)
{
    if (SANITIZE)
        GTEST_SKIP() << "the sanitizers need more memory than the limit";
    std::string dates;
    for (int i = 0; i < 1500000; i++)
        dates += "1/1/2000 ";
    writeFile(dir + "/in.txt", dates);
    writeFile(dir + "/out.txt", "kept");
    Result r = run({CHRONSORT}, in, dir, [] {
        struct rlimit l = {16 << 20, 16 << 20};
        setrlimit(RLIMIT_AS, &l);
    });
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("chronsort: out of memory\n", r.err);
    std::string text;
    ASSERT_TRUE(readFile(dir + "/out.txt", &text));
    EXPECT_EQ("kept", text);
    ASSERT_TRUE(readFile(dir + "/in.txt", &text));
    EXPECT_TRUE(text == dates);
}

// The dates fill the 4 KiB disk to its last byte; sorted in place they
// gain the blank after the last one, one byte more than the disk holds:
// the file must keep its text.
TEST_F(ChronsortFiles, InPlaceOnFullDisk)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounts a small tmpfs: needs root";
    std::string dates = "10/1/1 10/1/1 10/1/1 10/1/1 10/1/1";
    while (dates.size() < 4096)
        dates.insert(0, "1/1/1 ");
    ASSERT_EQ(4096u, dates.size());
    writeFile(dir + "/orig.txt", dates);
    const char *script =
        "mkdir disk && mount -t tmpfs -o size=4k tmpfs disk || exit 77\n"
        "cp orig.txt disk/in.txt && cd disk && \"$0\"\n"
        "s=$?; cp in.txt ../after.txt; exit $s";
    Result r =
        run({"/usr/bin/unshare", "--mount", "/bin/sh", "-c", script, CHRONSORT},
            "in.txt in.txt", dir);
    if (r.status == 77)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << r.err;
    EXPECT_EQ(1, r.status);
    const std::string full = "chronsort: in.txt: No space left on device\n";
    ASSERT_GE(r.err.size(), full.size());
    EXPECT_EQ(full, r.err.substr(r.err.size() - full.size()));
    std::string text;
    ASSERT_TRUE(readFile(dir + "/after.txt", &text));
    EXPECT_TRUE(text == dates) << text.substr(0, 40);
}

// Two runs sorting one file in place at the same time take turns; the one
// that waits may say so, and says nothing else.
TEST_F(ChronsortFiles, ConcurrentRunsKeepEveryDate)
{
    writeFile(dir + "/orig.txt", days(3000, 1, " ", ""));
    writeFile(dir + "/want.txt", days(1, 3000, " ", " "));
    writeFile(dir + "/answers", "in.txt in.txt");
    const char *script =
        "for i in $(seq 60); do cp orig.txt in.txt\n"
        "  \"$0\" <answers >/dev/null 2>>errs &\n"
        "  \"$0\" <answers >/dev/null 2>>errs; wait\n"
        "  cmp -s in.txt want.txt || { echo \"trial $i\"; exit 1; }\n"
        "done\n"
        "! grep -v ': waiting for another run or program to release the "
        "file$' errs >&2";
    Result r = run({"/bin/sh", "-c", script, CHRONSORT}, "", dir);
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_EQ("", r.err);
}

// A FIFO as the input is read until its writer closes it.
TEST_F(ChronsortFiles, ReadsFifo)
{
    const char *script = "mkfifo fifo && { printf '2/2/2 1/1/1' >fifo & } "
                         "&& exec timeout 10 \"$0\"";
    Result r = run({"/bin/sh", "-c", script, CHRONSORT}, "fifo out.txt", dir);
    EXPECT_EQ(0, r.status) << r.err;
    std::string text;
    ASSERT_TRUE(readFile(dir + "/out.txt", &text));
    EXPECT_EQ("1/1/1 2/2/2 ", text);
}

} // namespace

// Runs a shell script in the test's directory, $0 being chronsort. The
// script has a sort of `bigCount` dates at hand (big.txt, longest in reverse
// order: about a second), and `held FILE` waits until a run holds FILE
// locked (without trying the lock, which the run would see taken).
const int bigCount = SANITIZE ? 30000 : 80000; // the sanitizers are slower

Result
script(const std::string &dir, const std::string &body)
{
    const std::string prelude =
        "awk 'BEGIN { for (y = " + std::to_string(bigCount) +
        "; y > 0; y--) printf \"1/1/%d \", y }' "
        ">big.txt\n"
        "held() {\n"
        "  i=$(stat -c %i \"$1\")\n"
        "  until grep -q \":$i \" /proc/locks; do sleep 0.01; done\n"
        "}\n";
    return run({"/bin/sh", "-c", prelude + body, CHRONSORT}, "", dir);
}

class ChronsortShared : public InDir
{
};

// Text appended without the lock while the file is sorted in place: the
// run refuses, and the file keeps every byte.
TEST_F(ChronsortShared, AppendWhileSortingInPlace)
{
    Result r = script(dir, "cp big.txt orig.txt\n"
                           "printf 'big.txt big.txt' | \"$0\" >/dev/null &\n"
                           "held big.txt; sleep 0.2; echo 9/9/9 >>big.txt\n"
                           "wait $!; s=$?\n"
                           "echo 9/9/9 >>orig.txt; cmp -s big.txt orig.txt "
                           "&& exit $s");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("chronsort: big.txt: changed by another program while it was "
              "sorted; nothing written\n",
              r.err);
}

// A second run's output onto a file being sorted in place waits for the
// first, and its dates are what the file holds at the end. Two runs that
// each write the other's input, both holding a shared lock while they
// sort, wait for nothing.
TEST_F(ChronsortShared, OutputWaitsForTheRunOnIt)
{
    Result r = script(
        dir,
        "printf '5/5/5 4/4/4' >small.txt; cp big.txt a.txt\n"
        "printf 'big.txt big.txt' | \"$0\" >/dev/null & a=$!\n"
        "held big.txt; printf 'small.txt big.txt' | \"$0\" >/dev/null\n"
        "wait $a || exit 1; cat big.txt; echo\n"
        "cp a.txt b.txt\n"
        "printf 'a.txt b.txt' | timeout 20 \"$0\" >/dev/null 2>&1 & x=$!\n"
        "printf 'b.txt a.txt' | timeout 20 \"$0\" >/dev/null 2>&1 || exit 2\n"
        "wait $x || exit 3");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("4/4/4 5/5/5 \n", r.out);
    EXPECT_EQ("chronsort: big.txt: waiting for another run or program to "
              "release the file\n",
              r.err);
}

// A lock held by another program: the run says that it waits, then goes on.
TEST_F(ChronsortShared, SaysWhenItWaits)
{
    writeFile(dir + "/in.txt", "2/2/2 1/1/1");
    Result r = script(dir, "flock -x in.txt sleep 0.5 & held in.txt\n"
                           "printf 'in.txt out.txt' | \"$0\" >/dev/null\n"
                           "cat out.txt");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("1/1/1 2/2/2 ", r.out);
    EXPECT_EQ("chronsort: in.txt: waiting for another run or program to "
              "release the file\n",
              r.err);
}

// The same FIFO as input and output would take in the dates itself.
TEST_F(ChronsortShared, SameFifoRefused)
{
    Result r = script(dir, "mkfifo fifo; printf '2/2/2 1/1/1' >fifo &\n"
                           "printf 'fifo fifo' | timeout 10 \"$0\" >/dev/null");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("chronsort: fifo: is the input file, and not a regular file "
              "that can be rewritten in place; nothing written\n",
              r.err);
}

// A long sort shows its progress on a terminal, on one line that is cleared
// at the end; on a file, never.
TEST_F(ChronsortShared, ProgressOnTerminalOnly)
{
    Result r = script(
        dir, "printf 'big.txt out.txt' | \"$0\" >/dev/null 2>err.txt\n"
             "[ -s err.txt ] && exit 1\n"
             "script -qec \"printf 'big.txt out.txt' | '$0'\" /dev/null | "
             "tr '\\r' '\\n' | grep -a -e '^chronsort' -e '^ *$' -e Done");
    EXPECT_EQ(0, r.status);
    std::regex shown("chronsort: sorting " + std::to_string(bigCount) +
                     " dates: pass [0-9]+ of at most " +
                     std::to_string(bigCount - 1) + " \\([0-9]+%\\)\n");
    EXPECT_TRUE(std::regex_search(r.out, shown)) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n *\nDone!!"))) << r.out;
}
