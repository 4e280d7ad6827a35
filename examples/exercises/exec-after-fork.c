/* Exec after fork. The child runs another program; the parent waits for
   it. Which process prints which line, and what becomes of the child's
   own printf after its exec? */
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

int main(void)
{
    pid_t child = fork();
    if (child == 0) {
        execlp("echo", "echo", "echo speaking", (char *)NULL);
        printf("exec failed\n");
        return 1;
    }
    waitpid(child, NULL, 0);
    printf("%d: my child %d has ended\n", (int)getpid(), (int)child);
    return 0;
}
