/* Wait for a given child. Three children, each a little slower than the
   last; the parent waits for the second by its pid, then for the rest.
   In what order are they collected, and is any of them a zombie first? */
#include <stdio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(void)
{
    pid_t kids[3];
    for (int i = 0; i < 3; i++) {
        kids[i] = fork();
        if (kids[i] == 0) {
            struct timespec t = {0, (i + 1) * 50 * 1000 * 1000};
            nanosleep(&t, NULL);
            return i;
        }
    }
    waitpid(kids[1], NULL, 0);
    printf("collected the second, %d\n", (int)kids[1]);
    pid_t done;
    while ((done = wait(NULL)) > 0)
        printf("then %d\n", (int)done);
    return 0;
}
