// p2spawn: process P2 of the sorting tree. Starts the bubble sort as P4,
// then the insertion sort as P5, passing on its own arguments.

#include "launch.h"

static const Launcher p2 = {
    "p2spawn",
    "P2 Process Pid:%d\tPPid:%d\n",
    {{"Sort Process P4 Bubble Pid:%d\tPPid:%d\n", SORT_DIR "/b.o"},
     {"Sort Process P5 Insertion Pid:%d\tPPid:%d\n", SORT_DIR "/i.o"}},
    nullptr,
};

int
main(int, char *argv[])
{
    return launch(p2, argv);
}
