/* fork() && fork() || fork(). && and || stop as soon as they know the
   answer, and fork returns 0 in the child. Which processes call which
   fork, and how many lines are printed? */
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

int main(void)
{
    (void)((fork() && fork()) || fork());
    printf("hi\n");
    while (wait(NULL) > 0) {
    }
    return 0;
}
