// The record of a run, as spawndraw's tracer writes it and its drawing reads
// it: one event a line, tab-separated, SEQ TIME_US PID KIND DETAIL..., under
// a header line naming the format. PID is PID/TID for an event of a thread
// other than the process's first (version 2; version 1 has no threads').
// Version 3 adds what goes through pipes and redirections. The
// same text is the --events file and what --from reads, so that a recorded run
// draws as it did live.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

inline const char eventsHeader[] = "spawndraw-events\t4";
// The earlier versions it reads: 1 names no threads, 2 no descriptors.
inline const char eventsHeaderOne[] = "spawndraw-events\t1";
inline const char eventsHeaderTwo[] = "spawndraw-events\t2";
inline const char eventsHeaderThree[] = "spawndraw-events\t3";

// Bounds of a run's record: past them, details are counted, not kept.
enum {
    MAX_EVENTS = 200000,      // events recorded; later ones are dropped
    MAX_OUTPUT = 1 << 20,     // bytes of output kept, over the whole run
    MAX_ARG_BYTES = 64 << 10, // bytes of one exec's arguments kept
};
// The latest time a record may give, in microseconds: about 31 years.
const long long MAX_US = 1000000000000000LL;

// Appends bytes as one field: a tab, a line end, a backslash, any other
// control byte and any byte past ASCII as \xHH, so that no byte a command
// chose can split a line or a field, or reach a terminal unasked.
inline void
appendEscaped(std::string *to, const char *s, size_t n)
{
    static const char hex[] = "0123456789abcdef";
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)s[i];
        if (c == '\\') {
            to->append("\\\\");
        } else if (c < 0x20 || c >= 0x7f) {
            char e[4] = {'\\', 'x', hex[c >> 4], hex[c & 15]};
            to->append(e, 4);
        } else {
            to->push_back((char)c);
        }
    }
}

// The bytes a field stands for; false when it isn't one putEscaped wrote.
inline bool
unescape(const char *s, size_t n, std::string *out)
{
    out->clear();
    for (size_t i = 0; i < n; i++) {
        if (s[i] != '\\') {
            out->push_back(s[i]);
            continue;
        }
        if (i + 1 < n && s[i + 1] == '\\') {
            out->push_back('\\');
            i++;
            continue;
        }
        unsigned v = 0;
        if (i + 3 >= n || s[i + 1] != 'x')
            return false;
        for (int k = 2; k <= 3; k++) {
            char c = s[i + k];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0)
                return false;
            v = v * 16 + (unsigned)d;
        }
        out->push_back((char)v);
        i += 3;
    }
    return true;
}

// An event as read back: its place, time and process, its kind, and its
// details, unescaped.
struct Event {
    long seq;
    long long us;
    int pid;
    int tid = 0; // the thread's, where it isn't the process's first; or 0
    std::string kind;
    std::vector<std::string> f;
};
