// A binary search tree of ints, rebalanced by single rotations that are
// driven by heights computed afresh each time. Insertion prints the whole
// tree after every rebalancing step, so that its changes can be followed.
#pragma once

struct Tree {
    int a;
    Tree *right; // values not less than a
    Tree *left;  // values not greater than a
};

// The whole tree; empty until the first node is stored in it.
extern Tree *root;

// A node holding a, with no children. Ends the program with a message when
// no memory is left: nothing could go on without the node. Nodes come from
// malloc.
Tree *newNode(int a);

// Called by newNode, when set, with each node it makes, before the node is
// linked into the tree.
extern void (*onMake)(const Tree *made);

// Where insert traces, after each level's rebalancing, deepest first, it
// prints the trace block; or, when a program that shows the tree its own
// way has set this, calls it instead.
extern void (*onTrace)();

// Called by each rotation, when set, with the node about to turn and
// whether it turns right (its left child rising) or left.
extern void (*onRotate)(const Tree *top, bool right);

// Called by balancer, when set, for each node it checks, with the heights
// of its two subtrees as it took them, before it acts on them.
extern void (*onCheck)(const Tree *top, int hLeft, int hRight);

int height(Tree *top);
void rotateRight(Tree *&top);
void rotateLeft(Tree *&top);
Tree *balancer(Tree *top);
void inorder(Tree *top);
// Inserts a below top, which must hold a node: the first value is stored
// in root instead, by addValue.
void insert(int a, Tree *&top);
// A node holding a stored in root when the tree is empty, as the first
// value is, or else inserted, rebalanced and traced.
void addValue(int a);
Tree *search(int a, Tree *top);
