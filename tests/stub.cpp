// A stand-in for one of the sorting programs that the launchers start: it
// says who it is, who started it and with what arguments, and notes its
// start and its end in the file "runs" of its directory, which stdout may
// not reach. Given "fail", it ends with status 3. Given "slow", it ends only
// once its launcher has gone to sleep (10 s at most), and notes whether
// another program of the launcher's stood beside it then: a launcher that
// starts the next program without waiting for this one is caught however
// fast or slow the machine.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <dirent.h>
#include <unistd.h>

static void
note(const char *what)
{
    FILE *runs = fopen("runs", "a");
    if (runs != nullptr) {
        fprintf(runs, "%s %s\n", what, STUB_NAME);
        fclose(runs);
    }
}

// A process's name and its state and parent, from /proc/PID/stat.
struct Process {
    std::string name;
    char state;
    long parent;
};

static bool
readProcess(long pid, Process *p)
{
    char path[64], line[512];
    snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    FILE *f = fopen(path, "r");
    if (f == nullptr)
        return false;
    bool ok = fgets(line, sizeof line, f) != nullptr;
    fclose(f);
    const char *open = strchr(line, '('), *close = strrchr(line, ')');
    if (!ok || open == nullptr || close == nullptr ||
        sscanf(close + 2, "%c %ld", &p->state, &p->parent) != 2)
        return false;
    p->name.assign(open + 1, close);
    return true;
}

// Another child of the launcher's, one that is a copy of it about to
// become a program, or one of these stand-ins.
static bool
besideAnother(long launcher)
{
    Process self, other;
    if (!readProcess(launcher, &self))
        return false;
    DIR *d = opendir("/proc");
    bool found = false;
    for (dirent *e; d != nullptr && !found && (e = readdir(d)) != nullptr;) {
        long pid = atol(e->d_name);
        found = pid > 0 && pid != getpid() && readProcess(pid, &other) &&
                other.parent == launcher && other.state != 'Z' &&
                (other.name == self.name ||
                 other.name.find(".o") == other.name.size() - 2);
    }
    if (d != nullptr)
        closedir(d);
    return found;
}

static void
waitForLauncher()
{
    long launcher = getppid();
    Process p;
    for (int i = 0; i < 10000; i++) {
        if (!readProcess(launcher, &p) || p.state == 'S')
            break;
        struct timespec t = {0, 1000 * 1000};
        nanosleep(&t, nullptr);
    }
    if (besideAnother(launcher))
        note("beside another:");
}

int
main(int argc, char *argv[])
{
    note("start");
    printf("%s pid=%d ppid=%d args=", STUB_NAME, (int)getpid(), (int)getppid());
    for (int i = 0; i < argc; i++)
        printf("[%s]", argv[i]);
    printf("\n");
    int status = 0;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "slow") == 0)
            waitForLauncher();
        if (strcmp(argv[i], "fail") == 0)
            status = 3;
    }
    note("end");
    return status;
}
