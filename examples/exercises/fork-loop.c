/* Fork in a loop. Each time round, every process that exists forks. How
   many processes are there at the end, and what does the tree look like? */
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

int main(void)
{
    for (int i = 0; i < 3; i++)
        fork();
    printf("done\n");
    while (wait(NULL) > 0) {
    }
    return 0;
}
