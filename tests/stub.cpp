// A stand-in for one of the sorting programs that the launchers start: it
// says who it is, who started it and with what arguments, and notes its run
// in the file "runs" of its directory, which stdout may not reach. Given the
// argument "slow", it first sleeps, so that a launcher that does not wait
// shows it; given "fail", it ends with status 3.

#include <cstdio>
#include <cstring>
#include <ctime>

#include <unistd.h>

int
main(int argc, char *argv[])
{
    for (int i = 1; i < argc; i++)
        if (strcmp(argv[i], "slow") == 0) {
            struct timespec t = {0, 300 * 1000 * 1000};
            nanosleep(&t, nullptr);
        }
    printf("%s pid=%d ppid=%d args=", STUB_NAME, (int)getpid(), (int)getppid());
    for (int i = 0; i < argc; i++)
        printf("[%s]", argv[i]);
    printf("\n");
    FILE *runs = fopen("runs", "a");
    if (runs != nullptr) {
        fprintf(runs, "%s\n", STUB_NAME);
        fclose(runs);
    }
    for (int i = 1; i < argc; i++)
        if (strcmp(argv[i], "fail") == 0)
            return 3;
    return 0;
}
