// For each line of values on stdin, the tree module's tree at every step:
// after the first value, and where insert traces. One line a step: the
// shape written a(left,right), a leaf as a, an empty subtree as nothing,
// then each node the step's balancing checked, as VALUE:HLEFT,HRIGHT; an
// empty line after each run. port_test.js holds the page's own insertion,
// and its checks, to this.

#include "tree_shape.h"

#include <cstdio>
#include <sstream>

int
main()
{
    static char line[1 << 20];
    while (fgets(line, sizeof line, stdin) != nullptr) {
        std::istringstream read(line);
        std::vector<int> values;
        for (int a; read >> a;)
            values.push_back(a);
        for (const ModuleStep &s : moduleSteps(values))
            puts((s.shape + s.checks).c_str());
        puts("");
        freeTree(root);
        root = nullptr;
    }
    return 0;
}
