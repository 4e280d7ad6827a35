/* Two forks make four processes, and each prints one line. Into a pipe or
   a file, the line of the parent before the forks is printed twice: it is
   still in stdout's buffer when fork copies the process. */
#include <stdio.h>
#include <unistd.h>
#include <sys/wait.h>
int main(void) {
    printf("before the forks: %d\n", (int)getpid());
    fork(); fork();
    printf("pid %d, parent %d\n", (int)getpid(), (int)getppid());
    while (wait(NULL) > 0) {}
    return 0;
}
