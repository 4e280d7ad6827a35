// Writes what spawndraw's terminal drawing makes of a record, at every event:
// for each process, whether it is made, ended, a zombie, collected, and
// whose child it is; and each line of the output with the event that ended
// it. The page's reading of the same record is held to this.
//   state K PID MADE ENDED ZOMBIE GONE PARENT
//   line EVENT PID TID FD CUT WHERE TEXT (escaped as the record is)
//   copied ORIGIN LINE EVENT... (a line a fork copied from a stdio buffer)

#include "events.h"
#include "run.h"

#include <cstdio>

int
main(int argc, char *argv[])
{
    FILE *in = argc == 2 ? fopen(argv[1], "re") : nullptr;
    Run run;
    if (in == nullptr || !readRun(in, argv[1], &run)) {
        fprintf(stderr, "usage: spawndraw_states RECORD\n");
        return 2;
    }
    fclose(in);
    auto at = [](int e, int k) { return e >= 0 && e <= k; };
    for (int k = 0; k < (int)run.events.size(); k++)
        for (const Proc &p : run.procs) {
            bool ended = at(p.ended, k), gone = at(p.reaped, k);
            int parent = at(p.adopted, k) ? p.adopter
                         : p.parent >= 0  ? run.procs[(size_t)p.parent].pid
                                          : 0;
            printf("state\t%d\t%d\t%d\t%d\t%d\t%d\t%d\n", k, p.pid, p.born <= k,
                   ended, ended && !gone && p.zombie, gone, parent);
        }
    for (const CopiedLine &c : copiedLines(run)) {
        std::string line;
        appendEscaped(&line, c.line.data(), c.line.size());
        printf("copied\t%d\t%s", run.procs[(size_t)c.origin].pid, line.c_str());
        for (int w : c.writes)
            printf("\t%d", w);
        printf("\n");
    }
    for (const OutputLine &l : outputLines(run)) {
        std::string text, where;
        appendEscaped(&text, l.text.data(), l.text.size());
        appendEscaped(&where, l.where.data(), l.where.size());
        printf("line\t%d\t%d\t%d\t%d\t%d\t%s\t%s\n", l.event,
               run.procs[(size_t)l.proc].pid, l.tid, l.fd, l.cut, where.c_str(),
               text.c_str());
    }
    return 0;
}
