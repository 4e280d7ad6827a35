// A stand-in for one of the sorting programs that the launchers start: it
// says who it is, who started it and with what arguments. Given the argument
// "slow", it first sleeps, so that a launcher that does not wait shows it.

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
    return 0;
}
