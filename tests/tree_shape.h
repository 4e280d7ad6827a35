// The tree module's trees as text, for the tests: a(left,right), a leaf as
// a, an empty subtree as "". And the module's trees at every step of a run,
// where rotatree draws or traces them.
#pragma once

#include "tree.h"

#include <cstdlib>
#include <string>
#include <vector>

inline std::string
shape(const Tree *t)
{
    if (t == nullptr)
        return "";
    std::string s = std::to_string(t->a);
    if (t->left != nullptr || t->right != nullptr)
        s += "(" + shape(t->left) + "," + shape(t->right) + ")";
    return s;
}

inline void
freeTree(Tree *t)
{
    if (t != nullptr) {
        freeTree(t->left);
        freeTree(t->right);
        free(t);
    }
}

// A step of a run as the module takes it: its heading as rotadraw words it,
// up to the colon, the tree's shape after it, and the nodes its balancing
// checked, each as VALUE:HLEFT,HRIGHT, in order, a blank before each.
struct ModuleStep {
    std::string heading;
    std::string shape;
    std::string checks;
};

// Inserts the values into an empty tree, which it leaves in root.
inline std::vector<ModuleStep>
moduleSteps(const std::vector<int> &values)
{
    static std::vector<ModuleStep> traced;
    static std::string checks;
    std::vector<ModuleStep> steps;
    void (*savedTrace)() = onTrace;
    void (*savedCheck)(const Tree *, int, int) = onCheck;
    onTrace = [] {
        traced.push_back({"", shape(root), checks});
        checks.clear();
    };
    onCheck = [](const Tree *t, int hLeft, int hRight) {
        checks += " " + std::to_string(t->a) + ":" + std::to_string(hLeft) +
                  "," + std::to_string(hRight);
    };
    for (int a : values) {
        std::string v = "== insert " + std::to_string(a);
        if (root == nullptr) {
            root = newNode(a);
            steps.push_back({v, shape(root), ""});
            continue;
        }
        traced.clear();
        insert(a, root);
        for (size_t i = 0; i < traced.size(); i++)
            steps.push_back({v + " (step " + std::to_string(i + 1) + " of " +
                                 std::to_string(traced.size()) + ")",
                             traced[i].shape, traced[i].checks});
    }
    onTrace = savedTrace;
    onCheck = savedCheck;
    return steps;
}
