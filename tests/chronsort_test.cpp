// chronsort end to end: each row is the dialogue's answers, the input file
// in.txt, and what must come out on stdout, in out.txt and on stderr.

#include "runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <tuple>

#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// A script for chronsort, whose helpers wait on what chronsort does:
//   held FILE PID        wait until process PID holds a lock on FILE
//   reading PID          wait until PID has begun to read its first file
//   aged FILE            whether FILE was last written over a second ago
//   reversed N           N dates, the latest first: the longest sort
//   sized                a count of dates whose sort takes about a second
//                        with this build on this machine, now
Result
chronsortScript(const std::string &dir, const std::string &body)
{
    static const char helpers[] = R"sh(
# /proc/locks names the holder by pid and the file by device and inode;
# a lock waited for is marked ->.
locked() {
  kill -0 "$2" 2>/dev/null || fail "process $2 ended before it held $1"
  grep -v -e '->' /proc/locks | grep -q " $2 [0-9a-f]*:[0-9a-f]*:$3 "
}
held() { poll "process $2 never held $1" locked "$1" "$2" "$(stat -c %i "$1")"; }
begun() { [ "$(sed -n 's/^pos:[[:space:]]*//p' /proc/$1/fdinfo/3)" -gt 0 ]; }
reading() { poll "process $1 never read" begun "$1"; }
# Whether FILE was last written over a second ago; file times may run a
# clock tick behind, so a little more is asked.
aged() { awk -v t="$(stat -c %.9Y "$1")" -v now="$(date +%s.%N)" \
  'BEGIN { exit !(now - t > 1.05) }'; }
reversed() { awk -v n="$1" 'BEGIN { for (y = n; y > 0; y--) printf "1/1/%d ", y }'; }
# The exchange sort takes time with the square of the count: from the
# time of 20000 dates, the count that takes about a second.
sized() {
  reversed 20000 >sized.txt
  t0=$(date +%s%N)
  printf 'sized.txt sized.out' | "$0" >/dev/null 2>&1
  t1=$(date +%s%N)
  rm -f sized.txt sized.out
  awk -v t=$((t1 - t0)) 'BEGIN { n = int(20000 * sqrt(1e9 / t))
    print (n < 20000 ? 20000 : n > 400000 ? 400000 : n) }'
}
)sh";
    return script(dir, CHRONSORT, helpers + body);
}

using namespace std::string_literals;

const std::string askIn = "Enter input file name containing Dates in format "
                          "dd/mm/yyyy, Space or new line seperated: ";
const std::string askOut = "Enter output file name: ";
const std::string asked = askIn + askOut;
const std::string done = asked + "Done!! Output saved in file: out.txt\n";

// A row whose answers are `answers`, with in.txt holding `input` before
// and after, and out.txt holding `file` after.
Row
dates(const char *name, const std::string &answers, const std::string &input,
      const std::string &out, const std::string &file, int status,
      const std::string &err, void (*prepare)() = nullptr)
{
    return Row{name, {CHRONSORT}, answers, out,    status,
               err,  input,       file,    prepare};
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

class Chronsort : public Table
{
};

TEST_P(Chronsort, Dialogue)
{
    check();
}

const std::string in = "in.txt out.txt\n";

// Ordinary files: year decides, then month, then day; numbers as read.
INSTANTIATE_TEST_SUITE_P(
    Sorts, Chronsort,
    testing::Values(
        dates("typical", in, "05/06/2001 03/04/2002\n01/02/2001\n", done,
              "1/2/2001 5/6/2001 3/4/2002 ", 0, ""),
        dates("no_line_end_any_blanks", "\n  in.txt\n\tout.txt",
              "05/06/2001\t\t03/04/2002 \n\n 01/02/2001", done,
              "1/2/2001 5/6/2001 3/4/2002 ", 0, ""),
        dates("empty", in, "", done, "", 0,
              "chronsort: in.txt: no dates in it: the output is empty\n"),
        dates("white_space_only", in, " \n\t\n", done, "", 0,
              "chronsort: in.txt: no dates in it: the output is empty\n"),
        // A byte-order mark, as Notepad saves UTF-8, is no part of the text.
        dates("byte_order_mark", in,
              "\xef\xbb\xbf"
              "05/06/2001 01/02/2001\n",
              done, "1/2/2001 5/6/2001 ", 0, ""),
        dates("year_then_month_then_day", in,
              "1/1/2000 10/12/1999 2/3/2000 1/3/2000 9/2/2000", done,
              "10/12/1999 1/1/2000 9/2/2000 1/3/2000 2/3/2000 ", 0, ""),
        // One year: the month alone decides, then the day alone.
        dates("month_alone_decides", in, "1/12/2000 31/3/2000 15/7/2000", done,
              "31/3/2000 15/7/2000 1/12/2000 ", 0, ""),
        dates("day_alone_decides", in, "30/6/2000 2/6/2000 17/6/2000", done,
              "2/6/2000 17/6/2000 30/6/2000 ", 0, ""),
        // The same where a day past 16 bits leaves the dates unkeyed.
        dates("month_alone_decides_unkeyed", in,
              "1/12/2000 70000/1/1999 31/3/2000 15/7/2000", done,
              "70000/1/1999 31/3/2000 15/7/2000 1/12/2000 ", 0, ""),
        dates("day_alone_decides_unkeyed", in,
              "30/6/2000 70000/1/1999 2/6/2000 17/6/2000", done,
              "70000/1/1999 2/6/2000 17/6/2000 30/6/2000 ", 0, ""),
        dates("negative_year_first", in, "1/1/0 5/5/-1 1/1/2000 31/12/-1", done,
              "5/5/-1 31/12/-1 1/1/0 1/1/2000 ", 0, ""),
        dates("equal_dates_all_kept", in, "3/3/3 1/1/1 3/3/3 03/3/3", done,
              "1/1/1 3/3/3 3/3/3 3/3/3 ", 0, ""),
        dates("leading_zeros_and_signs", in, "08/09/2001 +1/+2/+3 -0/0/0", done,
              "0/0/0 1/2/3 8/9/2001 ", 0, ""),
        dates("no_calendar_check", in, "31/02/2001 0/0/0 99/99/2001", done,
              "0/0/0 31/2/2001 99/99/2001 ", 0, ""),
        dates("exactly_77", in, days(77, 1, " ", ""), done,
              days(1, 77, " ", " "), 0, ""),
        dates("more_than_77", in, days(300, 1, "\n", "\n"), done,
              days(1, 300, " ", " "), 0, "")),
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
    return dates("warnings_capped", in, input, done, file, 1, err);
}

// Text that is not a date ends the reading; what was read is still sorted,
// and the status says that the file was not read whole.
INSTANTIATE_TEST_SUITE_P(
    OddInput, Chronsort,
    testing::Values(
        dates("word_stops_reading", in, "1/2/2000 hello 3/4/1999", done,
              "1/2/2000 ", 1,
              "chronsort: in.txt:1: \"hello\": not a date; the rest of the "
              "file is ignored\n"),
        dates("lone_sign_stops_reading", in, "1/2/2000\n\n-x 3/4/1999\n", done,
              "1/2/2000 ", 1,
              "chronsort: in.txt:3: \"-x\": not a date; the rest of the file "
              "is ignored\n"),
        // The blank ends the first date after its day; the slash ends
        // reading.
        dates("blank_before_slash", in, "1 /2/2000", done, "1/0/0 ", 1,
              "chronsort: in.txt:1: incomplete date, read as 1/0/0\n"
              "chronsort: in.txt:1: \"/2/2000\": not a date; the rest of the "
              "file is ignored\n"),
        dates("cut_short_at_end", in, "3/4/5\n12/05", done, "12/5/0 3/4/5 ", 1,
              "chronsort: in.txt:2: incomplete date, read as 12/5/0\n"),
        dates("cut_short_then_more", in, "12/05 3/4/5", done, "12/5/0 3/4/5 ",
              1, "chronsort: in.txt:1: incomplete date, read as 12/5/0\n"),
        // Saturated, so they still sort past every ordinary date.
        dates("beyond_32_bits", in,
              "1/1/99999999999999999999999 2/2/2 1/1/-3000000000", done,
              "1/1/-2147483648 2/2/2 1/1/2147483647 ", 1,
              "chronsort: in.txt:1: number out of range, read as "
              "1/1/2147483647\n"
              "chronsort: in.txt:1: number out of range, read as "
              "1/1/-2147483648\n"),
        // Messages never pass a file's bytes raw to the terminal.
        dates("control_bytes_escaped", in, "1/1/1 \033[2J\0x\\"s, done,
              "1/1/1 ", 1,
              "chronsort: in.txt:1: \"\\033[2J\\000x\\\\\": not a date; the "
              "rest of the file is ignored\n"),
        dates("long_text_cut", in, "1/1/1 " + std::string(500, 'a'), done,
              "1/1/1 ", 1,
              "chronsort: in.txt:1: \"" + std::string(96, 'a') +
                  "...\": not a date; the rest of the file is ignored\n"),
        dates("lines_counted_inside_dates", in, "1/\n2/\n2000\nword", done,
              "1/2/2000 ", 1,
              "chronsort: in.txt:4: \"word\": not a date; the rest of the "
              "file is ignored\n"),
        manyCutShort()),
    testing::PrintToStringParamName());

// Failures: a message on stderr, status 1, never "Done!!".
INSTANTIATE_TEST_SUITE_P(
    Errors, Chronsort,
    testing::Values(
        dates("no_input_name", "", "1/1/1", askIn, noFile, 1,
              "chronsort: input file name: end of input\n"),
        dates("no_output_name", "in.txt\n", "1/1/1", asked, noFile, 1,
              "chronsort: output file name: end of input\n"),
        dates("missing_input", "nothere.txt out.txt", "1/1/1", askIn, noFile, 1,
              "chronsort: nothere.txt: No such file or directory\n"),
        dates("name_escaped", "no\033[2J.txt out.txt", "1/1/1", askIn, noFile,
              1, "chronsort: no\\033[2J.txt: No such file or directory\n"),
        dates("input_is_directory", ". out.txt", "1/1/1", askIn, noFile, 1,
              "chronsort: .: Is a directory\n"),
        dates("read_error", "/proc/self/mem out.txt", "", asked, noFile, 1,
              "chronsort: /proc/self/mem: Input/output error\n"),
        dates("output_is_directory", "in.txt .", "1/1/1", asked, noFile, 1,
              "chronsort: .: Is a directory\n"),
        dates("output_device_full", "in.txt /dev/full", "2/2/2 1/1/1", asked,
              noFile, 1, "chronsort: /dev/full: No space left on device\n")),
    testing::PrintToStringParamName());

// Sorted in place, text that was not read, or not read whole, would be lost:
// the file stays as it is.
const std::string refused = "chronsort: in.txt: is the input file, and ";
INSTANTIATE_TEST_SUITE_P(
    InPlace, Chronsort,
    testing::Values(
        dates("unread_text", "in.txt in.txt", "2/2/2 1/1/1 notes\n", asked,
              noFile, 1,
              "chronsort: in.txt:1: \"notes\": not a date; the rest of the "
              "file is ignored\n"
              "chronsort: in.txt: is the input file, whose unread text "
              "would be lost; nothing written\n"),
        dates("out_of_range", "in.txt in.txt", "3/3/3 1/1/99999999999", asked,
              noFile, 1,
              "chronsort: in.txt:1: number out of range, read as "
              "1/1/2147483647\n" +
                  refused +
                  "dates in it could not be read whole; nothing "
                  "written\n"),
        dates("sign_without_number", "in.txt in.txt", "3/3/3 1/2/-", asked,
              noFile, 1,
              "chronsort: in.txt:1: incomplete date, read as 1/2/0\n" +
                  refused +
                  "dates in it could not be read whole; nothing "
                  "written\n"),
        dates("cut_short", "in.txt in.txt", "5/5/5 1/2", asked, noFile, 1,
              "chronsort: in.txt:1: incomplete date, read as 1/2/0\n" +
                  refused +
                  "dates in it could not be read whole; nothing "
                  "written\n")),
    testing::PrintToStringParamName());

// Standard streams closed, full or broken: the output file is still
// written whole, nothing else is touched, and a lost stdout is reported.
const std::string warning = "chronsort: in.txt:1: incomplete date, read as "
                            "3/3/0\n";
INSTANTIATE_TEST_SUITE_P(
    Streams, Chronsort,
    testing::Values(
        dates("stdout_closed", in, "2/2/2 1/1/1 3/3", "", "3/3/0 1/1/1 2/2/2 ",
              1, warning + "chronsort: standard output: Bad file descriptor\n",
              [] { close(1); }),
        dates("stderr_closed", in, "2/2/2 1/1/1 3/3", done,
              "3/3/0 1/1/1 2/2/2 ", 1, "", [] { close(2); }),
        dates("stdout_full", in, "2/2/2 1/1/1 3/3", "", "3/3/0 1/1/1 2/2/2 ", 1,
              warning + "chronsort: standard output: No space left on device\n",
              [] { redirect(1, "/dev/full"); }),
        dates("stderr_reader_gone", in, "2/2/2 1/1/1 3/3", done,
              "3/3/0 1/1/1 2/2/2 ", 1, "", [] { readerGone(2); })),
    testing::PrintToStringParamName());

class ChronsortFiles : public InDir
{
};

// The output may name the input file, directly or through a link: the file
// then holds its own dates sorted, stays the same file with its mode and
// owner, and a link stays a link.
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
        std::string file = dir + "/in.txt";
        writeFile(file, "3/3/3 1/1/1 2/2/2\n");
        ASSERT_EQ(0, chmod(file.c_str(), 0604));
        if (geteuid() == 0) {
            ASSERT_EQ(0, chown(file.c_str(), 1234, 5678));
        }
        struct stat was, st;
        ASSERT_EQ(0, stat(file.c_str(), &was));
        std::string link = dir + "/" + (c.link ? c.link : "");
        if (c.link) {
            int made = c.symbolic ? symlink("in.txt", link.c_str())
                                  : ::link(file.c_str(), link.c_str());
            ASSERT_EQ(0, made);
        }
        Result r = run({CHRONSORT}, c.answers, dir);
        EXPECT_EQ(0, r.status);
        EXPECT_EQ("", r.err);
        std::string text;
        ASSERT_TRUE(readFile(file, &text));
        EXPECT_EQ("1/1/1 2/2/2 3/3/3 ", text);
        ASSERT_EQ(0, stat(file.c_str(), &st));
        EXPECT_EQ(was.st_ino, st.st_ino);
        EXPECT_EQ(was.st_mode, st.st_mode);
        EXPECT_EQ(was.st_uid, st.st_uid);
        EXPECT_EQ(was.st_gid, st.st_gid);
        if (c.link) {
            ASSERT_EQ(0, lstat(link.c_str(), &st));
            EXPECT_EQ(c.symbolic, S_ISLNK(st.st_mode));
            unlink(link.c_str());
        }
    }
}

// Names have no length limit; the message names the output file. Each
// prompt is flushed before its answer is read, for a program that drives
// chronsort through pipes and answers only what it has been asked.
TEST_F(ChronsortFiles, LongNamesAskedOneByOne)
{
    std::string inName(250, 'i'), outName(255, 'o');
    writeFile(dir + "/" + inName, "2/2/2 1/1/1");
    Result r =
        converse({CHRONSORT}, dir, {{askIn, inName + "\n"}, {askOut, outName}});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(asked + "Done!! Output saved in file: " + outName + "\n", r.out);
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
        Result r = run({CHRONSORT}, in, dir);
        EXPECT_EQ(0, r.status) << r.err;
        std::string got;
        ASSERT_TRUE(readFile(dir + "/out.txt", &got));
        EXPECT_EQ(want, got);
    }
}

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
// the file must keep its text. Mounting needs root with CAP_SYS_ADMIN,
// which a container's root may lack.
TEST_F(ChronsortFiles, InPlaceOnFullDisk)
{
    if (geteuid() != 0 ||
        run({"/usr/bin/unshare", "--mount", "/bin/true"}, "", dir).status != 0)
        GTEST_SKIP() << "mounts a small tmpfs: needs root that may mount";
    std::string dates = "10/1/1 10/1/1 10/1/1 10/1/1 10/1/1";
    while (dates.size() < 4096)
        dates.insert(0, "1/1/1 ");
    ASSERT_EQ(4096u, dates.size());
    writeFile(dir + "/orig.txt", dates);
    const char *sh =
        "mkdir disk && mount -t tmpfs -o size=4k tmpfs disk || exit 77\n"
        "cp orig.txt disk/in.txt && cd disk && \"$0\"\n"
        "s=$?; cp in.txt ../after.txt; exit $s";
    Result r =
        run({"/usr/bin/unshare", "--mount", "/bin/sh", "-c", sh, CHRONSORT},
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
    Result r = chronsortScript(
        dir, "for i in $(seq 60); do cp orig.txt in.txt\n"
             "  \"$0\" <answers >/dev/null 2>>errs &\n"
             "  \"$0\" <answers >/dev/null 2>>errs; wait\n"
             "  cmp -s in.txt want.txt || fail \"trial $i\"\n"
             "done\n"
             "! grep -v ': waiting for another run or program to release the "
             "file$' errs >&2");
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_EQ("", r.err);
}

// A FIFO as the input is read until its writer closes it; the same FIFO
// as input and output would take in the dates itself. A writer that is
// never read from gives up.
TEST_F(ChronsortFiles, Fifos)
{
    Result r =
        chronsortScript(dir, "mkfifo fifo\n"
                             "give() { timeout 10 sh -c \"printf '2/2/2 1/1/1' "
                             ">fifo\" & }\n"
                             "give; printf 'fifo out.txt' | timeout 10 \"$0\" "
                             ">/dev/null || exit\n"
                             "cat out.txt\n"
                             "give; printf 'fifo fifo' | timeout 10 \"$0\" "
                             ">/dev/null");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("1/1/1 2/2/2 ", r.out);
    EXPECT_EQ("chronsort: fifo: is the input file, and not a regular file "
              "that can be rewritten in place; nothing written\n",
              r.err);
}

// A signal that comes as the file is rewritten in place ends the run only
// once the file is whole: never new text up to a seam and old text after
// it. A million dates in order, with leading zeros that the rewrite drops,
// sort in one pass. The run is stopped as soon as the file's first bytes
// change, with most of its 11 MB still to be written, and is sent the
// signal while stopped. A run that ended before it could be stopped, on a
// machine too busy to look in time, proves nothing and is run again.
TEST_F(ChronsortFiles, SignalDuringRewrite)
{
    std::string dates, sorted;
    char date[32];
    for (int i = 0; i < 1000000; i++) {
        int d = 1 + i % 28, m = 1 + i / 28 % 12, y = 1000 + i / 336;
        snprintf(date, sizeof date, "%02d/%02d/%04d\n", d, m, y);
        dates += date;
        snprintf(date, sizeof date, "%d/%d/%d ", d, m, y);
        sorted += date;
    }
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        bool stopped = false;
        for (int tries = 0; !stopped && tries < 20; tries++) {
            writeFile(dir + "/in.txt", dates);
            int fd = open((dir + "/in.txt").c_str(), O_RDONLY);
            ASSERT_GE(fd, 0);
            Running running = start({CHRONSORT}, "in.txt in.txt", dir);
            char first[16];
            siginfo_t ended = {};
            for (;;) {
                // Whether it had ended is asked first: it may end after
                // the file is read as it was.
                waitid(P_PID, (id_t)running.pid, &ended,
                       WEXITED | WNOHANG | WNOWAIT);
                ASSERT_EQ(16, pread(fd, first, 16, 0));
                if (memcmp(first, dates.data(), 16) != 0)
                    break;
                ASSERT_EQ(0, ended.si_pid) << "it ended before it rewrote";
            }
            close(fd);
            kill(running.pid, SIGSTOP);
            siginfo_t now = {};
            waitid(P_PID, (id_t)running.pid, &now,
                   WEXITED | WSTOPPED | WNOWAIT);
            stopped = now.si_code == CLD_STOPPED;
            if (stopped) {
                kill(running.pid, sig);
                kill(running.pid, SIGCONT);
            }
            Result r = finish(running);
            if (!stopped)
                continue;
            EXPECT_FALSE(r.exited);
            EXPECT_EQ(sig, r.status);
            std::string text;
            ASSERT_TRUE(readFile(dir + "/in.txt", &text));
            EXPECT_EQ(sorted.size(), text.size());
            EXPECT_TRUE(text == sorted) << "the file is not wholly sorted";
        }
        EXPECT_TRUE(stopped) << "every run ended before it could be stopped";
    }
}

// An output that is the file standard output or error is appended to
// would be emptied under what was written there; a pipe is written.
TEST_F(ChronsortFiles, OutputNotItsOwnLog)
{
    writeFile(dir + "/in.txt", "2/2/2 1/1/1");
    Result r =
        chronsortScript(dir, "echo earlier >log.txt\n"
                             "printf 'in.txt /dev/stdout' | \"$0\" >>log.txt; "
                             "echo $?\n"
                             "printf 'in.txt /dev/stderr' | \"$0\" >/dev/null "
                             "2>>log.txt; echo $?\n"
                             "printf 'in.txt /dev/stdout' | \"$0\" | cat\n"
                             "cat log.txt");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("1\n1\n" + asked +
                  "1/1/1 2/2/2 Done!! Output saved in file: /dev/stdout\n"
                  "earlier\n" +
                  asked +
                  "chronsort: /dev/stderr: is standard error; nothing "
                  "written\n",
              r.out);
    EXPECT_EQ("chronsort: /dev/stdout: is standard output; nothing written\n",
              r.err);
}

const char *const waiting = "waiting for another run or program to release "
                            "the file";

// Text written by another program, without the lock, while the file is
// sorted in place: appended, or the same size. The run refuses, and the
// file keeps every byte. The run is stopped once it holds its lock and has
// begun to read (its file's state is taken before), while a sort of about a
// second lies ahead of it.
TEST_F(InDir, ChronsortChangedWhileSorting)
{
    for (const char *change :
         {"echo 9/9/9 >>big.txt",
          "printf 9 | dd of=big.txt bs=1 count=1 conv=notrunc 2>/dev/null"}) {
        SCOPED_TRACE(change);
        Result r = chronsortScript(
            dir, "reversed $(sized) >big.txt\n"
                 "printf 'big.txt big.txt' | \"$0\" >/dev/null & "
                 "run=$!\n"
                 "held big.txt $run; reading $run; kill -STOP $run\n"
                 "cp big.txt want.txt\n" +
                     std::string(change) +
                     "\ncp big.txt want.txt\n"
                     "kill -CONT $run; wait $run; s=$?\n"
                     "cmp -s big.txt want.txt || fail changed\n"
                     "exit $s");
        EXPECT_EQ(1, r.status);
        EXPECT_EQ("chronsort: big.txt: changed by another program while it "
                  "was sorted; nothing written\n",
                  r.err);
    }
}

// A second run's output onto a file being sorted in place waits for the
// first, stopped while it holds its lock, and says so; its dates are what
// the file holds at the end. Two runs that each write the other's input
// wait for nothing, and both files end sorted.
TEST_F(InDir, ChronsortOutputWaitsForTheRunOnIt)
{
    Result r = chronsortScript(
        dir,
        "n=$(sized); reversed $n >big.txt; cp big.txt a.txt; cp big.txt "
        "b.txt\n"
        "awk -v n=$n 'BEGIN { for (y = 1; y <= n; y++) printf \"1/1/%d \", "
        "y }' >want.txt\n"
        "printf '5/5/5 4/4/4' >small.txt\n"
        "printf 'big.txt big.txt' | \"$0\" >/dev/null & a=$!\n"
        "held big.txt $a; kill -STOP $a\n"
        "printf 'small.txt big.txt' | \"$0\" >/dev/null 2>err.txt & b=$!\n"
        "waitFor err.txt waiting; kill -CONT $a\n"
        "wait $a || fail first; wait $b || fail second\n"
        "cat big.txt; echo; cat err.txt >&2\n"
        "printf 'a.txt b.txt' | timeout 60 \"$0\" >/dev/null 2>&1 & x=$!\n"
        "printf 'b.txt a.txt' | timeout 60 \"$0\" >/dev/null 2>&1 || "
        "fail b.txt\n"
        "wait $x || fail a.txt\n"
        "cmp a.txt want.txt && cmp b.txt want.txt");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("4/4/4 5/5/5 \n", r.out);
    EXPECT_EQ("chronsort: big.txt: "s + waiting + "\n", r.err);
}

// A lock held by another program: the run says that it waits, then goes
// on once the lock is released. The holder lets go when told to.
const char *const hold = "rm -f gate; mkfifo gate\n"
                         "flock -x big.txt sh -c 'read x <gate' & holder=$!\n"
                         "held big.txt $holder\n";

TEST_F(InDir, ChronsortSaysWhenItWaits)
{
    Result r = chronsortScript(
        dir, std::string("printf '2/2/2 1/1/1' >big.txt\n") + hold +
                 "printf 'big.txt out.txt' | \"$0\" 2>err.txt & "
                 "run=$!\n"
                 "waitFor err.txt waiting; echo >gate\n"
                 "wait $run; s=$?; cat err.txt >&2; cat out.txt\n"
                 "exit $s");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(asked + "Done!! Output saved in file: out.txt\n1/1/1 2/2/2 ",
              r.out);
    EXPECT_EQ("chronsort: big.txt: "s + waiting + "\n", r.err);
}

// A sort shows its progress on a terminal once a second has passed since
// the run set out to read, on one line that fits the terminal and is
// cleared at the end, below the prompt, which stays; on a file, never. The
// run is held at its input's lock until its message that it waits is over
// a second old, so that its first pass shows the line however fast or
// slow the machine.
TEST_F(InDir, ChronsortProgressOnTerminalOnly)
{
    Result r = chronsortScript(
        dir,
        std::string("reversed 3000 >big.txt\n") + hold +
            "printf 'big.txt out.txt' | \"$0\" >/dev/null 2>err.txt & "
            "run=$!\n"
            "waitFor err.txt waiting; poll 'never a second' aged err.txt\n"
            "echo >gate; wait $run\n"
            "! grep -v waiting err.txt || fail 'progress on a file'\n" +
            hold +
            "script -qec \"stty cols 40; printf 'big.txt out.txt' | '$0'\" "
            "/dev/null >tty.txt </dev/null & run=$!\n"
            "waitFor tty.txt waiting; poll 'never a second' aged tty.txt\n"
            "echo >gate; wait $run\n"
            "cat tty.txt");
    EXPECT_EQ(0, r.status) << r.err;
    // The prompt, a line end, the message; then each update after a \r.
    const std::string prompt = askOut + "\r\nchronsort: big.txt: " + waiting;
    size_t at = r.out.find(prompt);
    ASSERT_NE(std::string::npos, at) << r.out;
    std::istringstream updates(r.out.substr(at + prompt.size()));
    std::vector<std::string> shown;
    for (std::string u; std::getline(updates, u, '\r');)
        if (u.rfind("chronsort: ", 0) == 0 ||
            (!u.empty() && u.find_first_not_of(' ') == std::string::npos))
            shown.push_back(u);
    ASSERT_GE(shown.size(), 2u) << r.out;
    for (const std::string &u : shown)
        EXPECT_LE(u.size(), 39u) << u;
    EXPECT_TRUE(std::regex_match(
        shown[0], std::regex("chronsort: .*% of the (work|comparisons) *")))
        << shown[0];
    EXPECT_EQ(std::string(shown[shown.size() - 2].size(), ' '), shown.back());
    EXPECT_NE(std::string::npos, r.out.find("\rDone!!"));
}

} // namespace
