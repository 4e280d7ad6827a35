/* A child tells its parent something through a pipe. The parent closes
   its own write end before it reads: why must it, and what would its
   second read wait for if it didn't? Who writes into the pipe, and who
   reads from it? */
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

int main(void)
{
    int ends[2];
    char got[64];
    ssize_t n;
    if (pipe(ends) != 0)
        return 1;
    if (fork() == 0) {
        const char *news = "the child says hello\n";
        close(ends[0]);
        write(ends[1], news, strlen(news));
        return 0;
    }
    close(ends[1]);
    while ((n = read(ends[0], got, sizeof got)) > 0)
        printf("the parent heard: %.*s", (int)n, got);
    wait(NULL);
    return 0;
}
