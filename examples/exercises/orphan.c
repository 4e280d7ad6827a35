/* An orphan. The parent ends without waiting while its child still runs.
   Who is the child's parent then, and who collects it? */
#include <stdio.h>
#include <time.h>
#include <unistd.h>

int main(void)
{
    if (fork() == 0) {
        struct timespec later = {0, 200 * 1000 * 1000};
        nanosleep(&later, NULL);
        printf("child %d, parent now %d\n", (int)getpid(), (int)getppid());
        return 0;
    }
    printf("parent %d ends\n", (int)getpid());
    return 0;
}
