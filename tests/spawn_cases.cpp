// Processes that do what a tracer can get wrong, for spawndraw's tests.
// usage: spawn_cases thread-exec PROGRAM ARG...  a second thread execs it
//        spawn_cases restart-wait   a wait that SIGALRM interrupts and the
//                                   kernel restarts, three times
//        spawn_cases sigchld        a handler that must see SIGCHLD
//        spawn_cases ignore-chld    SIGCHLD ignored: the child leaves no
//                                   zombie, and wait finds no child; with
//                                   "kept", as it came through exec
//        spawn_cases zombie         a child collected only once it is seen
//                                   a zombie
//        spawn_cases kill-forker N  N times: a child that forks, killed by
//                                   its parent at about the time it forks
//        spawn_cases stop-wait      a child that stops itself, seen by a
//                                   wait given no status, then continued
//        spawn_cases nocldwait      SA_NOCLDWAIT: the kernel collects the
//                                   child while its parent lives on
//        spawn_cases clone-parent   a child that makes, with CLONE_PARENT,
//                                   a sibling, which its parent collects
//        spawn_cases int80          a write, then an exec of echo, made
//                                   through the 32-bit ABI
//        spawn_cases forgot-close   a parent writes into a pipe to wc and
//                                   never closes it; says ready once wc
//                                   sleeps in its read
//        spawn_cases crowded-pipe   a pipe held by a thousand descriptors,
//                                   written by a hundred children
//        spawn_cases relay [exec]   a child writes a line into a pipe,
//                                   its parent reads it and prints it;
//                                   with exec, after it runs itself anew
//        spawn_cases cloexec        makes a pipe closed on exec; its child
//                                   runs true
//        spawn_cases reopen FILE    closes its standard output, opens FILE
//                                   in its place, and writes a line there
//        spawn_cases traceme        asks to be traced
//        spawn_cases two-threads    its first thread writes A, a second B;
//                                   the first joins the second, writes C

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

static char **program;

// The first line of a file, or "" where it can't be read.
static void
readLine(const char *path, char *to, int size)
{
    FILE *f = fopen(path, "re");
    if (f == nullptr || fgets(to, size, f) == nullptr)
        to[0] = '\0';
    if (f != nullptr)
        fclose(f);
}
static volatile sig_atomic_t signals;

static void
count(int)
{
    signals++;
}

// Whether pid sleeps (in its wait: it does nothing else that sleeps), with
// no SIGALRM pending.
static bool
inWait(pid_t pid)
{
    char path[64], line[512];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    FILE *f = fopen(path, "r");
    if (f == nullptr)
        return true; // gone: nothing to wait for
    bool waiting = fgets(line, sizeof line, f) != nullptr &&
                   strrchr(line, ')') != nullptr &&
                   strrchr(line, ')')[2] == 'S';
    fclose(f);
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    if ((f = fopen(path, "r")) == nullptr)
        return true;
    while (fgets(line, sizeof line, f) != nullptr)
        if (strncmp(line, "SigPnd:", 7) == 0 ||
            strncmp(line, "ShdPnd:", 7) == 0)
            waiting = waiting &&
                      !((strtoull(line + 7, nullptr, 16) >> (SIGALRM - 1)) & 1);
    fclose(f);
    return waiting;
}

static void *
execFromThread(void *)
{
    execv(program[0], program);
    perror("execv");
    _exit(126);
}

int
main(int argc, char *argv[])
{
    if (argc < 2)
        return 2;
    alarm(20); // a tracer that loses a signal fails the test, not hangs it
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = count;
    sa.sa_flags = SA_RESTART;
    if (strcmp(argv[1], "thread-exec") == 0 && argc > 2) {
        program = argv + 2;
        pthread_t t;
        pthread_create(&t, nullptr, execFromThread, nullptr);
        pause();
    } else if (strcmp(argv[1], "restart-wait") == 0) {
        sigaction(SIGALRM, &sa, nullptr);
        pid_t child = fork();
        if (child == 0) {
            // Each SIGALRM once the parent sleeps in its wait, the last
            // one handled: none pending.
            pid_t parent = getppid();
            for (int i = 0; i < 3; i++) {
                while (!inWait(parent)) {
                }
                kill(parent, SIGALRM);
            }
            while (!inWait(parent)) {
            }
            _exit(0);
        }
        pid_t got = waitpid(child, nullptr, 0);
        printf("wait returned the child: %s\n", got == child ? "yes" : "no");
    } else if (strcmp(argv[1], "sigchld") == 0) {
        sigaction(SIGCHLD, &sa, nullptr);
        if (fork() == 0)
            _exit(0);
        while (signals == 0)
            pause();
        wait(nullptr);
        printf("SIGCHLD seen\n");
    } else if (strcmp(argv[1], "ignore-chld") == 0) {
        if (argc == 2) // else ignored already, before its exec
            signal(SIGCHLD, SIG_IGN);
        if (fork() == 0)
            _exit(0);
        int r = wait(nullptr);
        printf("wait: %d %s\n", r, r < 0 ? strerrorname_np(errno) : "");
    } else if (strcmp(argv[1], "zombie") == 0) {
        pid_t child = fork();
        if (child == 0)
            _exit(3);
        // Collected only once /proc shows it a zombie.
        char path[64], line[512];
        snprintf(path, sizeof path, "/proc/%d/stat", (int)child);
        for (bool zombie = false; !zombie;) {
            FILE *f = fopen(path, "r");
            zombie = f != nullptr && fgets(line, sizeof line, f) != nullptr &&
                     strrchr(line, ')') != nullptr &&
                     strrchr(line, ')')[2] == 'Z';
            if (f != nullptr)
                fclose(f);
        }
        waitpid(child, nullptr, 0);
    } else if (strcmp(argv[1], "stop-wait") == 0) {
        pid_t child = fork();
        if (child == 0) {
            raise(SIGSTOP);
            _exit(3);
        }
        pid_t seen = waitpid(child, nullptr, WUNTRACED);
        kill(child, SIGCONT);
        int status = 0;
        waitpid(child, &status, 0);
        printf("stopped: %s, then exited %d\n", seen == child ? "yes" : "no",
               WEXITSTATUS(status));
    } else if (strcmp(argv[1], "nocldwait") == 0) {
        sa.sa_flags = SA_NOCLDWAIT;
        sigaction(SIGCHLD, &sa, nullptr);
        pid_t child = fork();
        if (child == 0)
            _exit(0);
        // Until the kernel has collected it: then no pid of it is left.
        char path[64];
        snprintf(path, sizeof path, "/proc/%d", (int)child);
        while (access(path, F_OK) == 0) {
        }
        printf("collected\n");
    } else if (strcmp(argv[1], "clone-parent") == 0) {
        int p[2];
        if (pipe(p) != 0)
            return 1;
        pid_t middle = fork();
        if (middle == 0) {
            // Without a stack of its own, clone goes on as fork does.
            long sibling =
                syscall(SYS_clone, CLONE_PARENT | SIGCHLD, 0, 0, 0, 0);
            if (sibling == 0)
                _exit(4);
            (void)!write(p[1], &sibling, sizeof sibling);
            _exit(0);
        }
        long sibling = 0;
        (void)!read(p[0], &sibling, sizeof sibling);
        waitpid(middle, nullptr, 0);
        int status = 0;
        pid_t got = waitpid((pid_t)sibling, &status, 0);
        printf("the sibling is ours: %s\n",
               got == sibling && WEXITSTATUS(status) == 4 ? "yes" : "no");
    } else if (strcmp(argv[1], "int80") == 0) {
        // The 32-bit ABI takes 32-bit pointers: its data below 4 GiB.
        char *low =
            (char *)mmap(nullptr, 4096, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (low == MAP_FAILED)
            return 1;
        strcpy(low, "hi\n");
        strcpy(low + 16, "/bin/echo");
        strcpy(low + 32, "int80");
        unsigned *args = (unsigned *)(low + 64);
        args[0] = (unsigned)(uintptr_t)(low + 16);
        args[1] = (unsigned)(uintptr_t)(low + 32);
        args[2] = 0;
        long r;
        asm volatile("int $0x80"
                     : "=a"(r)
                     : "a"(4), "b"(1), "c"(low), "d"(3)
                     : "memory", "r8", "r9", "r10", "r11");
        asm volatile("int $0x80"
                     : "=a"(r)
                     : "a"(11), "b"(low + 16), "c"(args), "d"(0)
                     : "memory", "r8", "r9", "r10", "r11");
        return 1;
    } else if (strcmp(argv[1], "two-threads") == 0) {
        // The second ends only once the first sleeps in its join, so that
        // the join is a futex wait on the second's id, as a late end makes.
        static pid_t first = (pid_t)syscall(SYS_gettid);
        pthread_t t;
        pthread_create(
            &t, nullptr,
            [](void *) -> void * {
                (void)!write(1, "B\n", 2);
                char path[64], call[8] = "";
                snprintf(path, sizeof path, "/proc/self/task/%d/syscall",
                         (int)first);
                while (strncmp(call, "202 ", 4) != 0) {
                    FILE *f = fopen(path, "re");
                    if (f == nullptr || fgets(call, sizeof call, f) == nullptr)
                        call[0] = '\0';
                    if (f != nullptr)
                        fclose(f);
                    sched_yield();
                }
                return nullptr;
            },
            nullptr);
        (void)!write(1, "A\n", 2);
        pthread_join(t, nullptr);
        (void)!write(1, "C\n", 2);
    } else if (strcmp(argv[1], "forgot-close") == 0) {
        // The pipe's write end left open in the parent: wc never ends.
        int p[2];
        if (pipe(p) != 0)
            return 1;
        pid_t child = fork();
        if (child == 0) {
            dup2(p[0], 0);
            close(p[0]);
            close(p[1]);
            execlp("wc", "wc", "-l", (char *)nullptr);
            _exit(127);
        }
        close(p[0]);
        (void)!write(p[1], "hello\n", 6);
        // Ready once wc has read the line and sleeps in its next read: not
        // stopped at a read's entry, with bytes still to take.
        char path[64], call[8] = "", comm[16] = "", stat[512] = "";
        int left = 1;
        while (strncmp(call, "0 ", 2) != 0 || strcmp(comm, "wc\n") != 0 ||
               strstr(stat, ") S ") == nullptr || left != 0) {
            snprintf(path, sizeof path, "/proc/%d/syscall", (int)child);
            readLine(path, call, sizeof call);
            snprintf(path, sizeof path, "/proc/%d/comm", (int)child);
            readLine(path, comm, sizeof comm);
            snprintf(path, sizeof path, "/proc/%d/stat", (int)child);
            readLine(path, stat, sizeof stat);
            if (ioctl(p[1], FIONREAD, &left) != 0)
                left = 1;
            sched_yield();
        }
        printf("ready\n");
        fflush(stdout);
        wait(nullptr);
    } else if (strcmp(argv[1], "crowded-pipe") == 0) {
        // A thousand descriptors of one pipe, a hundred writers into it,
        // and its read end passed over a socket: a reader gets all.
        int p[2], sv[2];
        if (pipe(p) != 0 || socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0)
            return 1;
        for (int i = 0; i < 1000 && dup(p[1]) >= 0; i++) {
        }
        for (int i = 0; i < 100; i++)
            if (fork() == 0) {
                (void)!write(p[1], "x\n", 2);
                _exit(0);
            }
        char byte = 0, control[CMSG_SPACE(sizeof(int))] = {};
        struct iovec io = {&byte, 1};
        struct msghdr m = {};
        m.msg_iov = &io;
        m.msg_iovlen = 1;
        m.msg_control = control;
        m.msg_controllen = sizeof control;
        struct cmsghdr *h = CMSG_FIRSTHDR(&m);
        h->cmsg_level = SOL_SOCKET;
        h->cmsg_type = SCM_RIGHTS;
        h->cmsg_len = CMSG_LEN(sizeof(int));
        memcpy(CMSG_DATA(h), &p[0], sizeof(int));
        if (sendmsg(sv[0], &m, 0) != 1)
            return 1;
        while (wait(nullptr) > 0) {
        }
        char got[256];
        ssize_t n = read(p[0], got, sizeof got);
        printf("%zd bytes\n", n);
    } else if (strcmp(argv[1], "relay") == 0) {
        int p[2];
        if (pipe(p) != 0)
            return 1;
        if (fork() == 0) {
            (void)!write(p[1], "hello\n", 6);
            _exit(0);
        }
        close(p[1]);
        if (argc > 2 && p[0] == 3)
            execl(argv[0], argv[0], "relay-read", (char *)nullptr);
        char got[64];
        ssize_t n;
        while ((n = read(p[0], got, sizeof got)) > 0)
            (void)!write(1, got, (size_t)n);
        wait(nullptr);
    } else if (strcmp(argv[1], "cloexec") == 0) {
        int p[2];
        if (pipe2(p, O_CLOEXEC) != 0)
            return 1;
        if (fork() == 0) {
            execl("/bin/true", "true", (char *)nullptr);
            _exit(127);
        }
        wait(nullptr);
    } else if (strcmp(argv[1], "reopen") == 0 && argc > 2) {
        // The redirection of old, with no dup2: open takes the lowest
        // number free.
        close(1);
        if (open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644) != 1)
            return 1;
        (void)!write(1, "in the file\n", 12);
    } else if (strcmp(argv[1], "relay-read") == 0) {
        char got[64];
        ssize_t n;
        while ((n = read(3, got, sizeof got)) > 0)
            (void)!write(1, got, (size_t)n);
        wait(nullptr);
    } else if (strcmp(argv[1], "traceme") == 0) {
        long r = ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        printf("traceme: %s\n", r == 0 ? "yes" : strerrorname_np(errno));
    } else if (strcmp(argv[1], "kill-forker") == 0 && argc > 2) {
        // A fork's event never comes for a process killed in its fork,
        // and the grandchild it made is left for the tracer to place.
        srand((unsigned)getpid());
        for (int i = atoi(argv[2]); i > 0; i--) {
            pid_t child = fork();
            if (child == 0) {
                fork();
                _exit(0);
            }
            for (int spin = rand() % 20000; spin > 0; spin--)
                signals = signals + 0;
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    } else {
        return 2;
    }
    return 0;
}
