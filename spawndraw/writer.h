// The tracer's writing of the record: each line made whole before the
// drawing may see it, in memory the two share or through a descriptor, so
// that a tracer killed at any point has lost none of what it saw. It knows
// lines and fields, not what they mean.
#pragma once

#include "trace.h"

#include <string>
#include <sys/types.h>

struct Writer {
    int fd = -1;                    // to the drawing, where memory can't be
    SharedRecord *shared = nullptr; // memory shared with the drawing, or null
    std::string pending;            // the line being made
    long seq = 0;                   // events numbered so far
    long long startUs = 0;          // the monotonic clock at the run's start
    pid_t self = 0;                 // the tracer, which a note of ours is by
    bool silent = false;  // no longer recording: only keeping the run going
    bool bounded = false; // past MAX_EVENTS
};

// Microseconds since the run began.
long long nowUs(const Writer &w);

// Starts an event's line, by pid's thread tid where tid isn't 0; false
// when it isn't recorded. What decides the command's status is recorded
// past the bound too (always).
bool startEvent(Writer &w, pid_t pid, pid_t tid, const char *kind, bool always);
void field(Writer &w, const std::string &s);
void field(Writer &w, long long n);
void endEvent(Writer &w);

// How a process ended, as fields: exited N, or killed SIGNAME [core]; a
// stop or continue as a wait saw it.
void endingFields(Writer &w, int status);

// A line of the record that no event makes: its header, a refusal.
void putRaw(Writer &w, const std::string &text);

// Ends the recording; the run goes on.
void stopWriting(Writer &w);

// errno's name, EPERM for EPERM.
std::string errnoName(int e);
