/* A zombie. The child ends at once; its parent is busy for a moment
   before it waits. What is the child between its end and the wait? */
#include <stdio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(void)
{
    pid_t child = fork();
    if (child == 0) {
        printf("child %d ends\n", (int)getpid());
        return 0;
    }
    struct timespec busy = {0, 200 * 1000 * 1000};
    nanosleep(&busy, NULL);
    waitpid(child, NULL, 0);
    printf("parent %d collected %d\n", (int)getpid(), (int)child);
    return 0;
}
