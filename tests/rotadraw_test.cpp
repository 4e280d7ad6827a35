// rotadraw end to end: golden drawings of small trees, every drawing of a
// run read back into its shape and compared with rotatree's trace of the
// same answers, and the web page read back the same way. A shape is written
// a(left,right), a leaf as a, an empty subtree as "".

#include "runner.h"
#include "tree_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// A value with the column it starts at and its row.
struct Spot {
    long column;
    long row;
    int a;
};

// The shape of a picture from where its values stand, sorted by column: in
// in-order, with their rows by depth. The root of a range is the one value
// highest in it.
std::string
shapeOf(const std::vector<Spot> &s, size_t lo, size_t hi)
{
    if (lo >= hi)
        return "";
    size_t top = lo;
    for (size_t i = lo; i < hi; i++)
        if (s[i].row < s[top].row)
            top = i;
    std::string left = shapeOf(s, lo, top), right = shapeOf(s, top + 1, hi);
    std::string a = std::to_string(s[top].a);
    return left.empty() && right.empty() ? a
                                         : a + "(" + left + "," + right + ")";
}

// A picture read back: its heading, its shape, and its values left to
// right as the trace lists them.
struct Picture {
    std::string heading;
    std::string shape;
};

Picture
picture(const std::string &heading, std::vector<Spot> s)
{
    std::sort(s.begin(), s.end(),
              [](const Spot &x, const Spot &y) { return x.column < y.column; });
    return {heading, shapeOf(s, 0, s.size())};
}

// The pictures of a drawing: each begins with its heading, and `read`
// finds the values on each of its lines, the n-th line of the picture.
// Lines that start with "-- " explain a step, and the summary is no
// picture.
std::vector<Picture>
readPictures(const std::string &out,
             void (*read)(const std::string &line, long n,
                          std::vector<Spot> *spots))
{
    std::vector<Picture> pictures;
    std::vector<Spot> spots;
    std::string heading, line;
    std::istringstream lines(out);
    long n = 0;
    auto done = [&] {
        if (heading.rfind("== insert", 0) == 0 ||
            heading.rfind("== search", 0) == 0)
            pictures.push_back(picture(heading, spots));
    };
    while (std::getline(lines, line)) {
        if (line.rfind("== ", 0) == 0) {
            done();
            heading = line;
            spots.clear();
            n = 0;
        } else if (line.rfind("-- ", 0) != 0) {
            read(line, n++, &spots);
        }
    }
    done();
    return pictures;
}

// The usual drawing: its values stand on the rows with digits, marks
// around them, a row a depth.
std::vector<Picture>
textPictures(const std::string &out)
{
    return readPictures(
        out, [](const std::string &line, long n, std::vector<Spot> *spots) {
            if (n % 2 != 0)
                return; // a row of edges
            const std::regex value("-?[0-9]+");
            for (std::sregex_iterator m(line.begin(), line.end(), value), end;
                 m != end; ++m)
                spots->push_back({m->position(), n, std::stoi(m->str())});
        });
}

// The drawing on its side: a line a value, the largest at the top, two
// columns a depth.
std::vector<Picture>
sidewaysPictures(const std::string &out)
{
    return readPictures(out, [](const std::string &line, long n,
                                std::vector<Spot> *spots) {
        size_t at = line.find_first_of("[-0123456789");
        long column = 0;
        for (size_t i = 0; i < at; i++)
            column += ((unsigned char)line[i] & 0xc0) != 0x80;
        EXPECT_EQ(0, column % 2) << line;
        spots->push_back(
            {-n, column / 2,
             std::stoi(line.substr(line.find_first_of("-0123456789", at)))});
    });
}

// Every drawing of the answers is a tree the module makes from them, at the
// step its heading names; the lookup's is the last.
void
expectModuleTrees(const std::string &answers, const std::string &out)
{
    std::istringstream in(answers);
    long n = 0;
    std::vector<int> values;
    in >> n;
    for (int a; (long)values.size() < n && in >> a;)
        values.push_back(a);
    std::vector<ModuleStep> steps = moduleSteps(values);
    freeTree(root);
    root = nullptr;
    size_t j = 0;
    // Marks in colour are read as the drawing without them.
    std::string plain =
        std::regex_replace(out, std::regex("\033\\[[0-9;]*m"), "");
    for (const Picture &p : textPictures(plain)) {
        if (p.heading.rfind("== search", 0) == 0) {
            ASSERT_FALSE(steps.empty());
            EXPECT_EQ(steps.back().shape, p.shape) << p.heading;
            continue;
        }
        std::string key = p.heading.substr(0, p.heading.find(':'));
        while (j < steps.size() && steps[j].heading != key)
            j++;
        ASSERT_LT(j, steps.size()) << "the module has no step " << key;
        EXPECT_EQ(steps[j++].shape, p.shape) << p.heading;
    }
}

class Rotadraw : public Table
{
};

TEST_P(Rotadraw, Drawing)
{
    check();
    expectModuleTrees(GetParam().in, GetParam().out);
}

const std::string usage = "usage: rotadraw [--rotations] [--last] "
                          "[--summary] [--explain] [--sideways]\n"
                          "                [--color=WHEN] [--html FILE]\n";

INSTANTIATE_TEST_SUITE_P(
    Runs, Rotadraw,
    testing::Values(
        Row{"ascending_3",
            {ROTADRAW},
            "3\n1 2 3\n2\n",
            "== insert 1: the first value, the root\n"
            "1*\n"
            "== insert 2 (step 1 of 1): no rotation\n"
            "1\n"
            "└──┐\n"
            "   2*\n"
            "== insert 3 (step 1 of 2): no rotation\n"
            "1\n"
            "└──┐\n"
            "   2\n"
            "   └──┐\n"
            "      3*\n"
            "== insert 3 (step 2 of 2): rotated left at 1\n"
            "   2*\n"
            "┌──┴──┐\n"
            "1*    3\n"
            "== search 2: found\n"
            "   [2]\n"
            "┌───┴──┐\n"
            "1      3\n",
            0,
            ""},
        // Single rotations only: the zig-zag becomes its mirror image.
        Row{"zig_zag",
            {ROTADRAW},
            "3\n1 3 2\n7\n",
            "== insert 1: the first value, the root\n"
            "1*\n"
            "== insert 3 (step 1 of 1): no rotation\n"
            "1\n"
            "└──┐\n"
            "   3*\n"
            "== insert 2 (step 1 of 2): no rotation\n"
            "1\n"
            "└─────┐\n"
            "      3\n"
            "   ┌──┘\n"
            "   2*\n"
            "== insert 2 (step 2 of 2): rotated left at 1\n"
            "      3*\n"
            "┌─────┘\n"
            "1*\n"
            "└──┐\n"
            "   2*\n"
            "== search 7: not found\n"
            "      [3]\n"
            "┌──────┘\n"
            "1\n"
            "└──┐\n"
            "   2\n",
            0,
            ""},
        Row{"extremes_and_duplicates",
            {ROTADRAW},
            "3 -2147483648 -1 -1",

            // The one rotation moves all three values.
            "== insert -2147483648: the first value, the root\n"
            "-2147483648*\n"
            "== insert -1 (step 1 of 1): no rotation\n"
            "-2147483648\n"
            "     └────────┐\n"
            "             -1*\n"
            "== insert -1 (step 1 of 2): no rotation\n"
            "-2147483648\n"
            "     └────────────┐\n"
            "                 -1\n"
            "              ┌───┘\n"
            "             -1*\n"
            "== insert -1 (step 2 of 2): rotated left at -2147483648\n"
            "                 -1*\n"
            "     ┌────────────┘\n"
            "-2147483648*\n"
            "     └────────┐\n"
            "             -1*\n",
            0,
            ""},
        Row{"both_extremes",
            {ROTADRAW, "--last"},
            "2 2147483647 -2147483648 2147483647",
            "== insert -2147483648 (step 1 of 1): no rotation\n"
            "             2147483647\n"
            "     ┌───────────┘\n"
            "-2147483648*\n"
            "== search 2147483647: found\n"
            "             [2147483647]\n"
            "     ┌────────────┘\n"
            "-2147483648\n",
            0,
            ""},
        // Colour as asked, through a pipe too: a new node in reverse video,
        // the lookup's way underlined; or none, whatever the terminal.
        Row{"color_always",
            {ROTADRAW, "--last", "--color=always"},
            "1 5 5",
            "== insert 5: the first value, the root\n\033[1;7;33m5\033[0m\n"
            "== search 5: found\n\033[1;4;36m5\033[0m\n",
            0,
            ""},
        Row{"color_never",
            {ROTADRAW, "--last", "--color=never"},
            "1 5 5",
            "== insert 5: the first value, the root\n5*\n"
            "== search 5: found\n[5]\n",
            0,
            ""},
        // Only some steps, the lookup always; "--" ends the options.
        Row{"rotations",
            {ROTADRAW, "--rotations", "--"},
            "4\n1 2 3 4\n9\n",
            "== insert 1: the first value, the root\n"
            "1*\n"
            "== insert 3 (step 2 of 2): rotated left at 1\n"
            "   2*\n"
            "┌──┴──┐\n"
            "1*    3\n"
            "== search 9: not found\n"
            "   [2]\n"
            "┌───┴───┐\n"
            "1      [3]\n"
            "        └───┐\n"
            "           [4]\n",
            0,
            ""},
        Row{"last",
            {ROTADRAW, "--last"},
            "4\n1 2 3 4\n",
            "== insert 4 (step 2 of 2): no rotation\n"
            "   2\n"
            "┌──┴──┐\n"
            "1     3\n"
            "      └──┐\n"
            "         4\n",
            0,
            ""},
        // An answer that falls short still leaves the tree so far.
        Row{"last_cut_short",
            {ROTADRAW, "--last"},
            "3\n5 1 x",
            "== insert 1 (step 1 of 1): no rotation\n   5\n┌──┘\n1*\n",
            1,
            "rotadraw: element 3: not a number\n"},
        // Together: the steps either would draw, the last once.
        Row{"rotations_and_last",
            {ROTADRAW, "--rotations", "--last"},
            "4\n3 2 1 0\n",
            "== insert 3: the first value, the root\n"
            "3*\n"
            "== insert 1 (step 2 of 2): rotated right at 3\n"
            "   2*\n"
            "┌──┴──┐\n"
            "1     3*\n"
            "== insert 0 (step 2 of 2): no rotation\n"
            "      2\n"
            "   ┌──┴──┐\n"
            "   1     3\n"
            "┌──┘\n"
            "0\n",
            0,
            ""}),
    testing::PrintToStringParamName());

// With --explain, under each heading, what the balancing checked: a check
// that turns or stops is told, with what a turn did to the height, a step
// where nothing turned says why and names what it checked, every check is
// counted, and the last step of an insertion says each node it left out of
// balance, and why. The drawings are as without.
INSTANTIATE_TEST_SUITE_P(
    Explained, Rotadraw,
    testing::Values(
        Row{"right_lean_by_1",
            {ROTADRAW, "--explain", "--last"},
            "2\n1 2\n",
            "== insert 2 (step 1 of 1): no rotation\n"
            "-- 1: left 0, right 1: leans right by 1; nothing below it is "
            "checked\n"
            "-- nothing turned: every node checked had heights that differ "
            "by at most 1, or leaned right by 1\n"
            "-- checked 1 node: 1\n"
            "1\n"
            "└──┐\n"
            "   2*\n",
            0,
            ""},
        // 31 turns, is checked again under the new root with the heights
        // as they now are, and turns again; then once more, quietly.
        Row{"one_node_turned_twice",
            {ROTADRAW, "--explain", "--last"},
            "6\n9 16 17 31 21 1\n",
            "== insert 1 (step 3 of 3): rotated right at 31, right at 31\n"
            "-- 31: left 3, right 0: turned right; the height stays 4: the "
            "grandchildren below the rising child were as tall, and the one "
            "that crosses stays as deep\n"
            "-- 31: left 2, right 0: turned right; the height stays 3: the "
            "taller grandchild was on the inside, and a single turn only "
            "mirrors that\n"
            "-- checked 6 nodes\n"
            "-- after the turns: 31: left 1, right 0; 16: left 2, right 3; "
            "17: left 0, right 2; 21: left 0, right 0\n"
            "-- 17 (left 0, right 2) stays out of balance: it rose in the turn "
            "at 31, and the balancing doesn't come back to it\n"
            "      16*\n"
            "   ┌──┴───┐\n"
            "   9      17*\n"
            "┌──┘      └───────┐\n"
            "1                 31*\n"
            "              ┌───┘\n"
            "              21*\n",
            0,
            ""},
        // 44 goes right at 40, and the balancing turns 18 on the left:
        // why it came there is said.
        Row{"turn_off_the_way",
            {ROTADRAW, "--explain", "--last"},
            "7\n40 48 20 18 20 36 44\n",
            "== insert 44 (step 2 of 2): rotated left at 18\n"
            "-- 18: left 0, right 2: turned left; nothing below it is checked; "
            "the height stays 3: the grandchildren below the rising child were "
            "as tall, and the one that crosses stays as deep; it is off 44's "
            "way down: the balancing goes down both sides of every node that "
            "doesn't lean right, and so came to it\n"
            "-- checked 4 nodes\n"
            "-- after the turns: 18: left 0, right 1; 20: left 2, right 1; "
            "20: left 0, right 0\n"
            "                40\n"
            "        ┌───────┴───────┐\n"
            "        20*             48\n"
            "┌───────┴───┐       ┌───┘\n"
            "18*         36      44\n"
            "└───┐\n"
            "    20*\n",
            0,
            ""},
        // A left-leaning chain: a difference of 1 goes down both sides.
        Row{"left_chain",
            {ROTADRAW, "--explain"},
            "3\n3 2 1\n",
            "== insert 3: the first value, the root\n"
            "3*\n"
            "== insert 2 (step 1 of 1): no rotation\n"
            "-- nothing turned: every node checked had heights that differ "
            "by at most 1, or leaned right by 1\n"
            "-- checked 2 nodes: 3, 2\n"
            "   3\n"
            "┌──┘\n"
            "2*\n"
            "== insert 1 (step 1 of 2): no rotation\n"
            "-- nothing turned: every node checked had heights that differ "
            "by at most 1, or leaned right by 1\n"
            "-- checked 2 nodes: 2, 1\n"
            "      3\n"
            "   ┌──┘\n"
            "   2\n"
            "┌──┘\n"
            "1*\n"
            "== insert 1 (step 2 of 2): rotated right at 3\n"
            "-- 3: left 2, right 0: turned right; the subtree's height 3 → 2\n"
            "-- checked 3 nodes\n"
            "-- after the turns: 3: left 0, right 0; 2: left 1, right 1\n"
            "   2*\n"
            "┌──┴──┐\n"
            "1     3*\n",
            0,
            ""},
        // A zig-zag turns into its mirror, as tall as it was: a single
        // turn can't mend it, and the summary counts it.
        Row{"zig_zag_mirrored",
            {ROTADRAW, "--explain", "--last", "--summary"},
            "3\n1 3 2\n",
            "== insert 2 (step 2 of 2): rotated left at 1\n"
            "-- 1: left 0, right 2: turned left; nothing below it is "
            "checked; the height stays 3: the taller grandchild was on the "
            "inside, and a single turn only mirrors that\n"
            "-- checked 1 node\n"
            "-- after the turns: 1: left 0, right 1; 3: left 2, right 0; "
            "2: left 0, right 0\n"
            "-- 3 (left 2, right 0) stays out of balance: it rose in the turn "
            "at 1, and the balancing doesn't come back to it\n"
            "      3*\n┌─────┘\n1*\n└──┐\n   2*\n"
            "== summary\nvalues: 3, rotations: 1 (1 left the subtree's height "
            "as it was)\nheight: 3 (least possible 2; without rotations 3)\n"
            "out of balance at the end: 1 node\n",
            0,
            ""},
        // Equal values go left; the lookup says its way down.
        Row{"duplicates_and_way_down",
            {ROTADRAW, "--explain", "--rotations"},
            "3\n5 5 5\n6\n",
            "== insert 5: the first value, the root\n"
            "5*\n"
            "== insert 5 (step 2 of 2): rotated right at 5\n"
            "-- 5: left 2, right 0: turned right; the subtree's height 3 → 2\n"
            "-- checked 3 nodes\n"
            "-- after the turns: 5: left 0, right 0; 5: left 1, right 1\n"
            "   5*\n"
            "┌──┴──┐\n"
            "5     5*\n"
            "== search 6: not found\n"
            "-- 5: 6 is greater: right\n"
            "-- 5: 6 is greater: right\n"
            "-- not found\n"
            "   [5]\n"
            "┌───┴───┐\n"
            "5      [5]\n",
            0,
            ""}),
    testing::PrintToStringParamName());

// What was drawn before the answers fell short stays.
INSTANTIATE_TEST_SUITE_P(
    Errors, Rotadraw,
    testing::Values(
        Row{"value_not_a_number",
            {ROTADRAW},
            "2 1 x",
            "== insert 1: the first value, the root\n1*\n",
            1,
            "rotadraw: element 2: not a number\n"},
        Row{"values_end_early",
            {ROTADRAW},
            "2 1",
            "== insert 1: the first value, the root\n1*\n",
            1,
            "rotadraw: element 2: end of input\n"},
        Row{"count_beyond_32_bits",
            {ROTADRAW},
            "4294967296 1",
            "",
            1,
            "rotadraw: number of elements: out of range\n"},
        Row{"search_not_a_number",
            {ROTADRAW},
            "0 x",
            "",
            1,
            "rotadraw: element to search: not a number\n"},
        Row{"page_unwritable",
            {ROTADRAW, "--html", "."},
            "0",
            "",
            1,
            "rotadraw: .: Is a directory\n"},
        Row{"unknown_option",
            {ROTADRAW, "-x"},
            "0",
            "",
            2,
            "rotadraw: unknown option '-x'\n" + usage},
        Row{"html_without_file",
            {ROTADRAW, "--html"},
            "0",
            "",
            2,
            "rotadraw: option '--html' needs a file name\n" + usage},
        Row{"html_empty_name",
            {ROTADRAW, "--html="},
            "0",
            "",
            2,
            "rotadraw: option '--html' needs a file name\n" + usage},
        Row{"operand_after_dashes",
            {ROTADRAW, "--", "x"},
            "0",
            "",
            2,
            "rotadraw: unexpected operand 'x'\n" + usage},
        // A count typed one too small: what is left after the value to
        // look up is not read, and is said; the run is still whole.
        Row{"numbers_left_over",
            {ROTADRAW, "--last"},
            "1 2 3 4 5",
            "== insert 2: the first value, the root\n2*\n"
            "== search 3: not found\n[2]\n",
            0,
            "rotadraw: 2 numbers after the element to search were not read\n"},
        Row{"long_word_left_over",
            {ROTADRAW, "--last"},
            "1 2 3 " + std::string(31, '7') + "x",
            "== insert 2: the first value, the root\n2*\n"
            "== search 3: not found\n[2]\n",
            0,
            "rotadraw: 1 answer after the element to search was not read\n"},
        Row{"answer_left_over",
            {ROTADRAW, "--last"},
            "1 2 3 x",
            "== insert 2: the first value, the root\n2*\n"
            "== search 3: not found\n[2]\n",
            0,
            "rotadraw: 1 answer after the element to search was not read\n"}),
    testing::PrintToStringParamName());

// --help: the usage, then a line for each of its options.
TEST_F(InDir, RotadrawHelp)
{
    Result r = run({ROTADRAW, "--help"}, "", dir);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    ASSERT_EQ(usage, r.out.substr(0, usage.size()));
    const std::regex option("--[a-z]+=?");
    for (std::sregex_iterator m(usage.begin(), usage.end(), option), end;
         m != end; ++m)
        EXPECT_NE(std::string::npos,
                  r.out.find("\n  " + m->str(), usage.size()))
            << m->str();
}

// Every drawing on its side shows the tree the usual drawing shows.
TEST_F(InDir, SidewaysAsTheUsualDrawing)
{
    for (const char *answers :
         {"9\n50 40 30 20 10 60 70 35 36\n36\n", "5 5 5 5 5 5 5",
          "40 17 3 29 38 1 22 35 8 11 30 24 6 33 19 14 27 39 2 26 13 37 10 "
          "21 32 5 16 36 25 9 31 4 18 34 12 23 40 7 20 28 15 16"}) {
        SCOPED_TRACE(answers);
        Result usual = run({ROTADRAW}, answers, dir);
        Result side = run({ROTADRAW, "--sideways"}, answers, dir);
        ASSERT_EQ(0, side.status) << side.err;
        std::vector<Picture> want = textPictures(usual.out),
                             got = sidewaysPictures(side.out);
        ASSERT_EQ(want.size(), got.size());
        for (size_t i = 0; i < want.size(); i++) {
            EXPECT_EQ(want[i].heading, got[i].heading);
            EXPECT_EQ(want[i].shape, got[i].shape) << want[i].heading;
        }
    }
}

// One drawing after the first value, one for each of rotatree's trace
// blocks, and one for the lookup, each the module's tree at that step.
// (What the page draws is read off the screen by page_test.py.)
TEST_F(InDir, RotadrawFollowsRotatree)
{
    struct {
        std::string answers;
        const char *last; // the shape of the last insertion's last step
    } runs[] = {{"9\n50 40 30 20 10 60 70 35 36\n36\n",
                 "40(20(10,35(30,36)),60(50,70))"},
                {"7\n1 2 3 4 5 6 7\n4\n", "4(2(1,3),6(5,7))"}};
    for (const auto &run_ : runs) {
        SCOPED_TRACE(run_.answers);
        Result drawn = run({ROTADRAW}, run_.answers, dir);
        Result traced = run({ROTATREE}, run_.answers, dir);
        ASSERT_EQ(0, drawn.status) << drawn.err;

        std::vector<Picture> pictures = textPictures(drawn.out);
        size_t blocks = 0;
        for (size_t at = 0;
             (at = traced.out.find("\nIn Insert!\n", at)) != std::string::npos;
             at++)
            blocks++;
        ASSERT_EQ(blocks + 2, pictures.size());
        expectModuleTrees(run_.answers, drawn.out);
        EXPECT_EQ(run_.last, pictures[pictures.size() - 2].shape);
        EXPECT_EQ(run_.last, pictures.back().shape);
    }
}

} // namespace

namespace
{

// A shell script in the test's directory, $0 being rotadraw, with the
// answers of a long run (200 shuffled values) in long.txt.
Result
withLongRun(const std::string &dir, const std::string &body)
{
    return script(
        dir, ROTADRAW,
        "{ echo 200; seq 200 | awk 'BEGIN { srand(7) } { print "
        "rand(), $0 }' | sort | cut -d' ' -f2; echo 1; } >long.txt\n" +
            body);
}

// Lost text doesn't cost the page: it is the page of a run whose output
// works, byte for byte. A reader that has gone ends the text quietly, but
// the run still says, by its status, that the text was not all read.
TEST_F(InDir, PageWholeWhenOutputFails)
{
    Result r =
        withLongRun(dir, "\"$0\" --html ok.html <long.txt >/dev/null\n"
                         "\"$0\" --html full.html <long.txt >/dev/full\n"
                         "echo $?\n"
                         "{ \"$0\" --html gone.html <long.txt; echo $? "
                         ">status; } | head -c 1\n"
                         "echo \" $(cat status)\"\n"
                         "cmp ok.html full.html && cmp ok.html gone.html");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("1\n= 1\n", r.out);
    EXPECT_EQ("rotadraw: standard output: No space left on device\n", r.err);
}

// A page named as the answers, the text or the messages would empty or
// garble them.
TEST_F(InDir, PageNotAStandardStream)
{
    Result r = withLongRun(
        dir, "printf '1 5' >ans.txt; cp ans.txt before.txt\n"
             "\"$0\" --html ans.txt <ans.txt; echo $?\n"
             "\"$0\" --html=out.txt <ans.txt >out.txt; echo $?\n"
             "echo earlier >err.txt\n"
             "\"$0\" --html err.txt <ans.txt >/dev/null 2>>err.txt; echo $?\n"
             "cat err.txt; cmp ans.txt before.txt && [ ! -s out.txt ]");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("1\n1\n1\nearlier\nrotadraw: err.txt: is standard error; "
              "nothing written\n",
              r.out);
    EXPECT_EQ("rotadraw: ans.txt: is standard input; nothing written\n"
              "rotadraw: out.txt: is standard output; nothing written\n",
              r.err);
}

// Who runs a destination's case.
enum Who {
    ANYONE,
    ROOT, // skipped for others
    USER, // an unprivileged user: root runs it as nobody
};

// A page goes where the shell's > would write it, as the same file, and is
// refused where > is. `page` is a shell word; `after` prints what is left.
struct Destination {
    const char *name;
    Who who;
    const char *setUp;
    const char *page;
    int status;
    const char *err;
    const char *after;
    const char *want;
};

std::ostream &
operator<<(std::ostream &os, const Destination &d)
{
    return os << d.name;
}

class PageDestination : public InDir,
                        public testing::WithParamInterface<Destination>
{
};

TEST_P(PageDestination, AsTheShellWritesIt)
{
    const Destination &d = GetParam();
    if (d.who == ROOT && geteuid() != 0)
        GTEST_SKIP() << "needs root";
    const char *as = d.who == USER && geteuid() == 0
                         ? "setpriv --reuid=65534 --regid=65534 --clear-groups "
                         : "";
    chmod(dir.c_str(), 0777);
    Result r = withLongRun(
        dir, std::string("chmod 644 long.txt; n=$(basename \"$PWD\")\n") +
                 d.setUp + "\n" + as + "\"$0\" --last --html " + d.page +
                 " <long.txt >/dev/null\necho $?\n" + d.after);
    EXPECT_EQ(std::to_string(d.status) + "\n" + d.want, r.out);
    EXPECT_EQ(d.err, r.err);
}

const std::string longName(255, 'p');

INSTANTIATE_TEST_SUITE_P(
    Rotadraw, PageDestination,
    testing::Values(
        Destination{"hard_link", ANYONE, "echo old >p.html; ln p.html q.html",
                    "q.html", 0, "",
                    "grep -c DOCTYPE p.html; stat -c %h p.html", "1\n2\n"},
        Destination{"symbolic_link", ANYONE,
                    "echo old >p.html; ln -s p.html l.html", "l.html", 0, "",
                    "[ -L l.html ] && grep -c DOCTYPE p.html", "1\n"},
        Destination{"dangling_link", ANYONE, "ln -s new.html l.html", "l.html",
                    0, "", "grep -c DOCTYPE new.html", "1\n"},
        Destination{"link_loop", ANYONE, "ln -s a b; ln -s b a", "a", 1,
                    "rotadraw: a: Too many levels of symbolic links\n",
                    "[ -L a ] && [ -L b ] && ls", "a\nb\nlong.txt\n"},
        Destination{"name_of_255_bytes", ANYONE, "", longName.c_str(), 0, "",
                    "ls | grep -c '^p'; grep -c DOCTYPE p*", "1\n1\n"},
        Destination{"read_only_file", USER,
                    "echo old >p.html; chmod 444 p.html", "p.html", 1,
                    "rotadraw: p.html: Permission denied\n", "cat p.html; ls",
                    "old\nlong.txt\np.html\n"},
        Destination{"writable_file_in_read_only_directory", USER,
                    "mkdir d; echo old >d/p.html; chmod 666 d/p.html; "
                    "chmod 555 d",
                    "d/p.html", 0, "", "grep -c DOCTYPE d/p.html; ls d",
                    "1\np.html\n"},
        Destination{"owner_and_mode_kept", ROOT,
                    "echo old >p.html; chown 1234:5678 p.html; "
                    "chmod 4751 p.html",
                    "p.html", 0, "",
                    "grep -c DOCTYPE p.html; stat -c '%u %g %a' p.html",
                    "1\n1234 5678 4751\n"},
        // A relative link directly under / leads to a file under /.
        Destination{"link_under_root", ROOT,
                    "echo mine >\"$n.html\"; ln -s \"$n.html\" \"/$n-l.html\"",
                    "\"/$n-l.html\"", 0, "",
                    "grep -c DOCTYPE \"/$n.html\"; cat \"$n.html\"; "
                    "rm -f \"/$n.html\" \"/$n-l.html\"",
                    "1\nmine\n"}),
    testing::PrintToStringParamName());

// A page that a signal or the end of memory stops is never left unfinished:
// an old page stays as it was, and a file made for a new one is gone.
TEST_F(InDir, PageNothingUnfinished)
{
    Result r = withLongRun(
        dir,
        "echo old >old.html; mkfifo answers\n"
        "opened() { ls -l /proc/$1/fd | grep -q \"$2\\$\"; }\n"
        "for case in INT:old.html USR1:new.html ALRM:new.html "
        "TERM:old.html; do\n"
        "  sig=${case%%:*} page=${case#*:}\n"
        "  env --default-signal=INT \"$0\" --html $page <answers >/dev/null &\n"
        "  run=$!\n"
        "  exec 3>answers; echo 5 1 2 >&3\n"
        "  poll \"$page never opened\" opened $run $page\n"
        "  kill -$sig $run; wait $run; echo $?; exec 3>&-\n"
        "done\n"
        "cat old.html; ls");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("130\n138\n142\n143\nold\nanswers\nlong.txt\nold.html\n", r.out);
}

// The limit of a run's data, and its page.
rlim_t dataLimit;

Result
runWithData(const std::string &in, const std::string &dir)
{
    return run({ROTADRAW, "--last", "--html", "p.html"}, in, dir, [] {
        struct rlimit l = {dataLimit, dataLimit};
        setrlimit(RLIMIT_DATA, &l);
    });
}

// A run that memory can't hold says so, and leaves no page: the least limit
// under which the page of no values is made is too little for 3000.
TEST_F(InDir, PageOutOfMemoryLeavesNothing)
{
    if (SANITIZE)
        GTEST_SKIP() << "the sanitizers need more memory than the limits";
    rlim_t low = 0, high = 64 << 20;
    while (high - low > 4096) {
        dataLimit = (low + high) / 2;
        (runWithData("0\n", dir).status == 0 ? high : low) = dataLimit;
        unlink((dir + "/p.html").c_str());
    }
    std::string many = "3000\n";
    for (int i = 1; i <= 3000; i++)
        many += std::to_string(i) + " ";
    dataLimit = high + (64 << 10);
    Result r = runWithData(many + "\n1\n", dir);
    ASSERT_TRUE(r.exited) << "killed by signal " << r.status;
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.err.find("out of memory")) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "a file is left";
}

// The first n columns of a row, each character of UTF-8 one column.
std::string
columns(const std::string &row, size_t n)
{
    size_t i = 0;
    for (size_t c = 0; i < row.size(); i++)
        if (((unsigned char)row[i] & 0xc0) != 0x80 && c++ == n)
            break;
    return row.substr(0, i);
}

// On a terminal: colour unless TERM is dumb or NO_COLOR is set and not
// empty, whatever the surroundings say of the other; and each row wider
// than the terminal cut to a window around what the step marks, each cut
// edge marked, said before the first drawing; a pipe gets the rows whole.
TEST_F(InDir, OnATerminal)
{
    Result r = withLongRun(
        dir, "sed '$s/.*/200/' long.txt >far.txt\n"
             "for env in '-u NO_COLOR TERM=xterm' 'TERM=xterm NO_COLOR=' "
             "'TERM=xterm NO_COLOR=1' '-u NO_COLOR TERM=dumb'; do\n"
             "  env $env script -qec \"stty cols 30; '$0' --last <far.txt\" "
             "/dev/null >tty.txt\n"
             "  grep -c \"$(printf '\\033')\" tty.txt\n"
             "done\n"
             "grep -c -e '--sideways, or less -S, shows them whole' tty.txt\n"
             "script -qec \"stty cols 30; '$0' --last --sideways <long.txt\" "
             "/dev/null >side.txt\n"
             "grep -c -e … -e sideways side.txt\n"
             "\"$0\" --last <far.txt | tr -d '\\r' >whole.txt");
    EXPECT_EQ(0, r.status);
    std::istringstream counts(r.out);
    int unset, empty, set, dumb, noted, sideCuts;
    counts >> unset >> empty >> set >> dumb >> noted >> sideCuts;
    EXPECT_EQ(1, noted) << "the cut drawings are noted once";
    EXPECT_EQ(0, sideCuts) << "on its side, a tree fits the terminal";
    EXPECT_GT(unset, 0);
    EXPECT_GT(empty, 0);
    EXPECT_EQ(0, set);
    EXPECT_EQ(0, dumb);

    std::string tty, whole;
    ASSERT_TRUE(readFile(dir + "/tty.txt", &tty));
    ASSERT_TRUE(readFile(dir + "/whole.txt", &whole));
    std::istringstream cut(tty), rows(whole);
    std::string got, want;
    int cuts = 0;
    std::getline(rows, want); // the heading, left to the terminal to wrap
    EXPECT_EQ(0u, tty.find("rotadraw: drawings wider")) << "said first";
    do
        std::getline(cut, got);
    while (cut && got.rfind("==", 0) != 0);
    const std::string dots = "…";
    while (std::getline(rows, want) && std::getline(cut, got)) {
        got.erase(got.find_last_not_of('\r') + 1);
        if (columns(want, 30) == want) {
            EXPECT_EQ(want, got);
            continue;
        }
        // A window of the row, with an ellipsis at each edge it cuts.
        EXPECT_EQ(columns(got, 30), got);
        std::string inner = got;
        if (inner.rfind(dots, 0) == 0)
            inner.erase(0, dots.size());
        if (inner.size() >= dots.size() &&
            inner.compare(inner.size() - dots.size(), dots.size(), dots) == 0)
            inner.erase(inner.size() - dots.size());
        EXPECT_NE(std::string::npos, want.find(inner)) << got;
        cuts++;
    }
    EXPECT_GT(cuts, 5);
    // The lookup's way, which ends at the largest value, is in the window.
    EXPECT_NE(std::string::npos, tty.find("[200]"));
}

} // namespace

namespace
{

long rotations;

void
countRotation(const Tree *, bool)
{
    rotations++;
}

// The summary's numbers, against the tree module's own rotations and
// height, the least height of as many nodes as known, and a plain search tree
// that sends equal values left, as insert does.
// The nodes whose subtrees' heights differ by more than 1, by the module's
// own heights.
static int
outOfBalance(const Tree *t)
{
    if (t == nullptr)
        return 0;
    int d = height(t->left) - height(t->right);
    return (d > 1 || d < -1) + outOfBalance(t->left) + outOfBalance(t->right);
}

TEST_F(InDir, SummaryOfTheRun)
{
    std::vector<std::vector<int>> runs = {{}, {5}, {}, {}, {}, {3, 3, 3, 3, 3}};
    // The least height of a binary tree of as many nodes as each run has.
    const int leastOf[] = {0, 1, 9, 9, 9, 3};
    for (int i = 1; i <= 300; i++) {
        runs[2].push_back(i);
        runs[3].push_back(301 - i);
        runs[4].push_back((i * 7919) % 300);
    }
    onTrace = [] {};
    onRotate = countRotation;
    for (size_t k = 0; k < runs.size(); k++) {
        const std::vector<int> &values = runs[k];
        std::string answers = std::to_string(values.size()) + "\n";
        rotations = 0;
        std::vector<Tree *> plain; // nodes of the tree that never rotates
        Tree *plainRoot = nullptr;
        int plainHeight = 0;
        for (int a : values) {
            answers += std::to_string(a) + " ";
            addValue(a);
            int depth = 1;
            Tree **at = &plainRoot;
            for (; *at != nullptr; depth++)
                at = (*at)->a < a ? &(*at)->right : &(*at)->left;
            plain.push_back(*at = new Tree{a, nullptr, nullptr});
            plainHeight = std::max(plainHeight, depth);
        }
        std::string want =
            "== summary\nvalues: " + std::to_string(values.size()) +
            ", rotations: " + std::to_string(rotations) +
            "\nheight: " + std::to_string(height(root)) + " (least possible " +
            std::to_string(leastOf[k]) + "; without rotations " +
            std::to_string(plainHeight) + ")\n";
        if (root != nullptr) {
            int left = outOfBalance(root);
            want += "out of balance at the end: " + std::to_string(left) +
                    (left == 1 ? " node\n" : " nodes\n");
        }
        freeTree(root);
        root = nullptr;
        for (Tree *t : plain)
            delete t;
        SCOPED_TRACE(answers);
        for (const char *other : {"--last", "--rotations"}) {
            Result r = run({ROTADRAW, "--summary", other, "--html", "p.html"},
                           answers + "\n", dir);
            EXPECT_EQ(0, r.status) << r.err;
            size_t at = r.out.find("== summary\n");
            ASSERT_NE(std::string::npos, at);
            EXPECT_EQ(want, r.out.substr(at));
        }
    }
}

} // namespace
