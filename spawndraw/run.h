// A run as spawndraw draws it: the events of its record, and the processes
// they make, with what became of each.
#pragma once

#include "events.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

struct Proc {
    int pid = 0;
    int parent = -1; // the process that made it; -1 for spawndraw's own
    int maker = -1;  // the one that did, where that isn't its parent
    std::vector<int> children;
    std::vector<std::string> programs; // inherited, then one per exec
    std::vector<std::string> argv;     // its last exec's, or its parent's
    long argc = 0;
    int threads = 0;
    int failedExecs = 0;
    int born = -1; // events: its fork, end, reaping and adoption
    int ended = -1;
    int reaped = -1;
    int adopted = -1;
    std::string ending;    // "exited 0", "killed SIGTERM core"
    int reaper = -1;       // the pid that collected it; 0 for the kernel
    std::string reapedWhy; // why the kernel did: SIG_IGN, SA_NOCLDWAIT
    int adopter = 0;
    bool adopterIsInit = true;
    bool running = false;      // still running when spawndraw stopped waiting
    bool ptraceDenied = false; // its own ptrace refused, since it is ours
    // Its last wait, while it sleeps in it: whom it is for ("any", a pid,
    // "group..."), or empty.
    std::string waitingFor;
    // Its parent wasn't waiting for it when it ended: it was a zombie
    // until collected, not collected at once.
    bool zombie = false;
    // What its descriptors 0 to 2 refer to where the run changed them
    // ("pipe 1", a file's path; empty for the run's own streams): now, and
    // as its last program began (or now, with no exec).
    std::string now[3], fds[3];
};

struct Run {
    std::vector<Event> events;
    std::vector<int> procOf; // each event's process
    std::vector<Proc> procs; // in the order they were made
    int root = -1;           // spawndraw's own process
    int command = -1;        // the command's
    std::string mode;        // "filtered", or "every-call" and why
    std::vector<std::string> argv;
    std::string refused; // why tracing was refused, or empty
    // Each pipe's read end as it was made, by the pipe's name.
    std::unordered_map<std::string, std::string> readEnds;
};

// Reads a record; false, having said why on stderr, when it isn't one.
bool readRun(FILE *in, const char *name, Run *run);

// The status a shell reports for the command: its exit status, or 128 plus
// the number of the signal that killed it; -1 when the record has no end.
int commandStatus(const Run &run);

// The signal's number for its name (SIGTERM), or 0.
int signalNumber(const std::string &name);

// The name of a signal's number: SIGTERM, SIGRTMIN+3, or the number.
std::string signalName(int sig);

// The message for an errno's name (ENOENT), or the name.
std::string errnoMessage(const std::string &name);

// The last part of a path.
std::string baseName(const std::string &path);

struct Look {
    bool colour;
    int width; // columns of the terminal, or 80
};

// Bytes a command or a record chose, fit for a terminal: well-formed
// UTF-8 as it is; each byte of what isn't, and every C0 control (but tabs,
// if kept), as \xHH; a C1 control or an invisible character that a
// terminal would act on or hide (bidi controls, zero-width characters) as
// \uHHHH or \UHHHHHHHH; a backslash doubled. The page shows bytes alike.
std::string printable(const std::string &s, bool keepTabs);

// Whether pid is a process of the run, or spawndraw's own: one whose
// waits the record holds, so that its collecting a child has a time.
bool followed(const Run &run, int pid);

// A line of the output: the write that ended it (the last event, for one
// cut short at the end), its writer and stream, and its bytes.
struct OutputLine {
    int event, proc, tid, fd;
    std::string text;
    bool cut;          // the run ended before its line end
    std::string where; // a pipe or a file it went into, or empty for output
};

// A line written by several processes of one family that the first of
// them printed once: it was in stdio's buffer when that one forked, and
// each copy of the buffer was written out.
struct CopiedLine {
    std::string line;        // with its line end
    int origin;              // the process whose buffer it was in
    std::vector<int> writes; // the events that wrote it, first of all
};

// Every such line of the run.
std::vector<CopiedLine> copiedLines(const Run &run);

// The lines of the output, in the order their ends were written.
std::vector<OutputLine> outputLines(const Run &run);

// The drawings, in the order the terminal shows them.
void drawTree(FILE *out, const Run &run, const Look &look);
void drawTimeline(FILE *out, const Run &run, const Look &look);
void drawOutput(FILE *out, const Run &run, const Look &look);
void drawPipes(FILE *out, const Run &run, const Look &look);
void drawBlocked(FILE *out, const Run &run, const Look &look);

void explainRun(FILE *out, const Run &run);

// Where write e wrote a line that a fork copied from a stdio buffer, why,
// in words, as a sentence to follow the write's own; else empty.
std::string copiedWords(const Run &run, int e);

// What a process still running was blocked in, and why, in words.
std::string blockedWords(const Run &run, int e);

// Every event in words, as --explain says them.
std::vector<std::string> explainAll(const Run &run);

// What a page asks of its reader: to watch the run, or to predict it
// first; and the program's source, to show beside it, or empty.
struct Exercise {
    bool predict = false;
    std::string source;
};

// The page: the record, the events in words and the exercise, between the
// page's start and end, every byte that the command chose escaped.
void writePage(FILE *page, const std::string &record, const Run &run,
               const Exercise &exercise);

// One event in words, as --explain says it; names holds each process's
// program at that moment.
std::string explainEvent(const Run &run, int e,
                         const std::vector<std::string> &names);
