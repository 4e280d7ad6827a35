/* An orphan. The parent ends without waiting while its child still runs.
   Who is the child's parent then, and who collects it? */
#include <stdio.h>
#include <time.h>
#include <unistd.h>

int main(void)
{
    pid_t parent = getpid();
    if (fork() == 0) {
        /* Until its parent has ended, whenever that is. */
        struct timespec a_moment = {0, 1000 * 1000};
        while (getppid() == parent)
            nanosleep(&a_moment, NULL);
        printf("child %d, parent now %d\n", (int)getpid(), (int)getppid());
        return 0;
    }
    printf("parent %d ends\n", (int)getpid());
    return 0;
}
