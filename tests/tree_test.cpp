// The tree module: shapes after rotations, rebalancing and insertion.
// A shape is written a(left,right), a leaf as a, an empty subtree as "".

#include "tree_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <sstream>
#include <vector>

namespace
{

Tree *
node(int a, Tree *left = nullptr, Tree *right = nullptr)
{
    Tree *t = newNode(a);
    t->left = left;
    t->right = right;
    return t;
}

// Builds the tree as the console program does; returns what insert printed.
std::string
build(const std::vector<int> &values)
{
    testing::internal::CaptureStdout();
    for (int a : values)
        addValue(a);
    return testing::internal::GetCapturedStdout();
}

size_t
countBlocks(const std::string &trace)
{
    size_t n = 0;
    for (size_t at = 0;
         (at = trace.find("\nIn Insert!\n", at)) != std::string::npos; at++)
        n++;
    return n;
}

class TreeTest : public testing::Test
{
  protected:
    void TearDown() override
    {
        freeTree(root);
        root = nullptr;
    }
};

TEST_F(TreeTest, HeightAndRotations)
{
    EXPECT_EQ(0, height(nullptr));
    root = node(4, node(2, node(1), node(3)), node(5));
    EXPECT_EQ(3, height(root));
    rotateRight(root);
    EXPECT_EQ("2(1,4(3,5))", shape(root));
    EXPECT_EQ(3, height(root));
    rotateLeft(root);
    EXPECT_EQ("4(2(1,3),5)", shape(root));
    rotateLeft(root->left);
    EXPECT_EQ("4(3(2(1,),),5)", shape(root));
}

struct BalanceRow {
    const char *name;
    Tree *(*make)();
    const char *before;
    const char *after;
};

// Each tree is built afresh for the row; balancer runs once at its root.
const BalanceRow balanceRows[] = {
    {"empty", [] { return (Tree *)nullptr; }, "", ""},
    {"left_by_2_rotates", [] { return node(3, node(2, node(1))); }, "3(2(1,),)",
     "2(1,3)"},
    {"right_by_2_rotates",
     [] { return node(1, nullptr, node(2, nullptr, node(3))); }, "1(,2(,3))",
     "2(1,3)"},
    {"difference_of_1_stays", [] { return node(3, node(2, node(1)), node(4)); },
     "3(2(1,),4)", "3(2(1,),4)"},
    // After the rotation at the root, the new root's children are balanced.
    {"descends_after_rotating",
     [] { return node(5, node(4, node(3, node(2, node(1))))); },
     "5(4(3(2(1,),),),)", "4(2(1,3),5)"},
    // Leaning right by 1: 9 would rotate, but nothing below 7 is visited.
    {"right_lean_not_visited",
     [] {
         return node(7, node(6, node(5)),
                     node(9, nullptr, node(10, nullptr, node(11))));
     },
     "7(6(5,),9(,10(,11)))", "7(6(5,),9(,10(,11)))"},
    {"right_lean_by_1_unchanged",
     [] { return node(10, node(5, node(3)), node(20, node(15, node(12)))); },
     "10(5(3,),20(15(12,),))", "10(5(3,),20(15(12,),))"},
    // Leaning right by 3: one rotation at the root, no descent after it.
    {"right_lean_rotates_only_root",
     [] {
         return node(
             1, nullptr,
             node(2, nullptr, node(3, nullptr, node(4, nullptr, node(5)))));
     },
     "1(,2(,3(,4(,5))))", "2(1,3(,4(,5)))"},
    // Even at the root: both children are balanced in turn.
    {"even_visits_both",
     [] {
         return node(4, node(3, node(2, node(1))),
                     node(5, nullptr, node(6, nullptr, node(7))));
     },
     "4(3(2(1,),),5(,6(,7)))", "4(2(1,3),6(5,7))"},
};

std::ostream &
operator<<(std::ostream &os, const BalanceRow &row)
{
    return os << row.name;
}

class Balancer : public TreeTest, public testing::WithParamInterface<BalanceRow>
{
};

TEST_P(Balancer, Shape)
{
    root = GetParam().make();
    ASSERT_EQ(GetParam().before, shape(root));
    root = balancer(root);
    EXPECT_EQ(GetParam().after, shape(root));
}

INSTANTIATE_TEST_SUITE_P(Rules, Balancer, testing::ValuesIn(balanceRows),
                         [](const testing::TestParamInfo<BalanceRow> &row) {
                             return std::string(row.param.name);
                         });

TEST_F(TreeTest, BalancerBelowTheRoot)
{
    root = node(10, node(5, node(3)), node(20, node(15, node(12))));
    root->right = balancer(root->right);
    EXPECT_EQ("10(5(3,),15(12,20))", shape(root));
}

struct InsertRow {
    const char *name;
    std::vector<int> values;
    const char *after;
    size_t blocks;
};

const InsertRow insertRows[] = {
    {"ascending_3", {1, 2, 3}, "2(1,3)", 3},
    {"descending_3", {3, 2, 1}, "2(1,3)", 3},
    {"ascending_7", {1, 2, 3, 4, 5, 6, 7}, "4(2(1,3),6(5,7))", 14},
    // Single rotations only: the zig-zag turns into its mirror image.
    {"zig_zag", {1, 3, 2}, "3(1(,2),)", 3},
    {"ascending_5", {10, 20, 30, 40, 50}, "20(10,40(30,50))", 8},
    {"duplicates", {5, 5, 5}, "5(5,5)", 3},
    {"single", {42}, "42", 0},
};

std::ostream &
operator<<(std::ostream &os, const InsertRow &row)
{
    return os << row.name;
}

class Insert : public TreeTest, public testing::WithParamInterface<InsertRow>
{
};

TEST_P(Insert, ShapeAndTrace)
{
    std::string trace = build(GetParam().values);
    EXPECT_EQ(GetParam().after, shape(root));
    EXPECT_EQ(GetParam().blocks, countBlocks(trace));
}

INSTANTIATE_TEST_SUITE_P(Shapes, Insert, testing::ValuesIn(insertRows),
                         [](const testing::TestParamInfo<InsertRow> &row) {
                             return std::string(row.param.name);
                         });

// Each block lists the whole tree from root, after that level's rebalancing.
TEST_F(TreeTest, TraceListsWholeTree)
{
    EXPECT_EQ("\nIn Insert!\n1 2 \n\n"
              "\nIn Insert!\n1 2 3 \n\n"
              "\nIn Insert!\n1 2 3 \n\n",
              build({1, 2, 3}));
    EXPECT_EQ("\nIn Insert!\n1 2 3 4 \n\n"
              "\nIn Insert!\n1 2 3 4 \n\n",
              build({4}));
}

// The listing the trace writes follows the tree, even one swapped by hand
// for nodes made before the last insertion.
TEST_F(TreeTest, TraceFollowsTreeSwappedByHand)
{
    Tree *other = node(10, node(5));
    build({1, 2});
    std::swap(root, other);
    EXPECT_EQ("\nIn Insert!\n5 7 10 \n\n"
              "\nIn Insert!\n5 7 10 \n\n",
              build({7}));
    freeTree(other);
}

TEST_F(TreeTest, InorderFormatsLikePrintf)
{
    build({0, -1, 2147483647, -2147483648, 10, -10, 5, 5});
    testing::internal::CaptureStdout();
    inorder(root);
    inorder(nullptr);
    EXPECT_EQ("-2147483648 -10 -1 0 5 5 10 2147483647 ",
              testing::internal::GetCapturedStdout());
}

// Whatever the order, every value is kept, listed in order and found.
TEST_F(TreeTest, RandomInsertionsKeepOrder)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pick(-50, 50);
    std::vector<int> values;
    for (int i = 0; i < 300; i++)
        values.push_back(pick(random));
    build(values);

    testing::internal::CaptureStdout();
    inorder(root);
    std::istringstream listed(testing::internal::GetCapturedStdout());
    std::vector<int> got;
    for (int a; listed >> a;)
        got.push_back(a);
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, got);
    for (int a : values) {
        Tree *t = search(a, root);
        ASSERT_NE(nullptr, t) << a;
        EXPECT_EQ(a, t->a);
    }
    EXPECT_EQ(nullptr, search(51, root));
    EXPECT_EQ(nullptr, search(-51, root));
}

TEST_F(TreeTest, Search)
{
    EXPECT_EQ(nullptr, search(1, nullptr));
    build({2, 1, 3});
    EXPECT_EQ(root, search(2, root));
    EXPECT_EQ(root->left, search(1, root));
    EXPECT_EQ(root->right, search(3, root));
    EXPECT_EQ(nullptr, search(4, root));
}

} // namespace
