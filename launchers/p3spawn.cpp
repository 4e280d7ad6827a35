// p3spawn: process P3 of the sorting tree. Starts the heap sort as P6,
// then the merge sort as P7, passing on its own arguments.

#include "launch.h"

static const Launcher p3 = {
    "p3spawn",
    "P3 Process Pid:%d\tPPid:%d\n",
    {{"Sort Process P6 Heap Pid:%d\tPPid:%d\n", SORT_DIR "/h.o"},
     {"Sort Process P7 Merge Pid:%d\tPPid:%d\n", SORT_DIR "/m.o"}},
    "\nEnd\n",
};

int
main(int, char *argv[])
{
    return launch(p3, argv);
}
