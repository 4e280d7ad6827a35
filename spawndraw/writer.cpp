#include "writer.h"

#include "events.h"
#include "run.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

long long
nowUs(const Writer &w)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000 - w.startUs;
}

SharedRecord *
shareRecord()
{
    // Room for the largest record the bounds allow, taken from memory only
    // as it is written.
    const size_t room = (size_t)16 << 30;
    void *m = mmap(nullptr, room, PROT_READ | PROT_WRITE,
                   MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (m == MAP_FAILED)
        return nullptr;
    SharedRecord *r = (SharedRecord *)m;
    r->size = 0;
    r->room = room - sizeof *r;
    return r;
}

// Writes the line made so far: into the shared memory, its size set once
// the line is whole, or to the drawing through the descriptor. A drawing
// that is gone ends the recording, not the run.
static void
putLine(Writer &w)
{
    if (w.shared != nullptr && w.fd >= 0 &&
        w.shared->room - w.shared->size >= w.pending.size()) {
        memcpy(textOf(w.shared) + w.shared->size, w.pending.data(),
               w.pending.size());
        __atomic_store_n(&w.shared->size, w.shared->size + w.pending.size(),
                         __ATOMIC_RELEASE);
        w.pending.clear();
        return;
    }
    w.shared = nullptr; // full: what follows goes by the descriptor
    for (size_t at = 0; w.fd >= 0 && at < w.pending.size();) {
        ssize_t n = write(w.fd, w.pending.data() + at, w.pending.size() - at);
        if (n > 0) {
            at += (size_t)n;
        } else if (errno != EINTR) {
            stopWriting(w);
        }
    }
    w.pending.clear();
}

bool
startEvent(Writer &w, pid_t pid, pid_t tid, const char *kind, bool always)
{
    if (w.silent || w.fd < 0)
        return false;
    char head[128];
    if (w.seq >= MAX_EVENTS && !always) {
        if (!w.bounded) {
            w.bounded = true;
            snprintf(head, sizeof head,
                     "%ld\t%lld\t%d\tnote\tdetails past %d events are not "
                     "recorded\n",
                     ++w.seq, nowUs(w), (int)w.self, MAX_EVENTS);
            w.pending = head;
            putLine(w);
        }
        return false;
    }
    if (tid != 0)
        snprintf(head, sizeof head, "%ld\t%lld\t%d/%d\t%s", ++w.seq, nowUs(w),
                 (int)pid, (int)tid, kind);
    else
        snprintf(head, sizeof head, "%ld\t%lld\t%d\t%s", ++w.seq, nowUs(w),
                 (int)pid, kind);
    w.pending = head;
    return true;
}

void
field(Writer &w, const std::string &s)
{
    w.pending.push_back('\t');
    appendEscaped(&w.pending, s.data(), s.size());
}

void
field(Writer &w, long long n)
{
    char text[24];
    snprintf(text, sizeof text, "\t%lld", n);
    w.pending += text;
}

void
endEvent(Writer &w)
{
    w.pending.push_back('\n');
    putLine(w);
}

void
endingFields(Writer &w, int status)
{
    if (WIFEXITED(status)) {
        field(w, "exited");
        field(w, WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
        field(w, "killed");
        field(w, signalName(WTERMSIG(status)));
        if (WCOREDUMP(status))
            field(w, "core");
    } else if (WIFSTOPPED(status)) {
        field(w, "stopped");
        field(w, signalName(WSTOPSIG(status)));
    } else {
        field(w, "continued");
    }
}

void
putRaw(Writer &w, const std::string &text)
{
    w.pending = text;
    putLine(w);
}

void
stopWriting(Writer &w)
{
    if (w.fd >= 0)
        close(w.fd);
    w.fd = -1;
    w.silent = true;
}

std::string
errnoName(int e)
{
    const char *name = strerrorname_np(e);
    return name != nullptr ? name : std::to_string(e);
}
