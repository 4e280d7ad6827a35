/* The shell's pipe, by hand: what "ls / | wc -l" makes. One pipe, two
   children: one runs ls with its output into the pipe, the other wc with
   its input from it. Who holds which end, and why must the parent close
   both? */
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

int main(void)
{
    int ends[2];
    if (pipe(ends) != 0)
        return 1;
    if (fork() == 0) {
        dup2(ends[1], 1);
        close(ends[0]);
        close(ends[1]);
        execlp("ls", "ls", "/", (char *)NULL);
        return 127;
    }
    if (fork() == 0) {
        dup2(ends[0], 0);
        close(ends[0]);
        close(ends[1]);
        execlp("wc", "wc", "-l", (char *)NULL);
        return 127;
    }
    close(ends[0]);
    close(ends[1]);
    while (wait(NULL) > 0) {
    }
    return 0;
}
