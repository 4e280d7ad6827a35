// For each line of values on stdin, the tree module's tree at every step:
// after the first value, and where insert traces. One line a step, the
// shape written a(left,right), a leaf as a, an empty subtree as nothing;
// an empty line after each run. port_test.js holds the page's own
// insertion to this.

#include "tree.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

static void
shape(const Tree *t, std::string *out)
{
    if (t == nullptr)
        return;
    *out += std::to_string(t->a);
    if (t->left == nullptr && t->right == nullptr)
        return;
    *out += '(';
    shape(t->left, out);
    *out += ',';
    shape(t->right, out);
    *out += ')';
}

static void
printShape()
{
    std::string s;
    shape(root, &s);
    puts(s.c_str());
}

static void
freeTree(Tree *t)
{
    if (t == nullptr)
        return;
    freeTree(t->left);
    freeTree(t->right);
    free(t);
}

int
main()
{
    static char line[1 << 20];
    onTrace = printShape;
    while (fgets(line, sizeof line, stdin) != nullptr) {
        std::istringstream values(line);
        int a;
        while (values >> a) {
            if (root == nullptr) {
                root = newNode(a);
                printShape();
            } else {
                insert(a, root);
            }
        }
        puts("");
        freeTree(root);
        root = nullptr;
    }
    return 0;
}
