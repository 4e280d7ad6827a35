/* A zombie. The child ends at once; its parent learns of it by SIGCHLD,
   and only then waits for it. What is the child between its end and the
   wait? */
#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

int main(void)
{
    sigset_t ended;
    sigemptyset(&ended);
    sigaddset(&ended, SIGCHLD);
    sigprocmask(SIG_BLOCK, &ended, NULL); /* kept for sigwait below */
    pid_t child = fork();
    if (child == 0) {
        printf("child %d ends\n", (int)getpid());
        return 0;
    }
    int sig;
    sigwait(&ended, &sig); /* the child has ended, and is not collected */
    waitpid(child, NULL, 0);
    printf("parent %d collected %d\n", (int)getpid(), (int)child);
    return 0;
}
