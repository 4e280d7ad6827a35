/* Fork twice. Two calls to fork, then one line printed. How many
   processes does it make, who made each, and how many times is "hi"
   printed? */
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

int main(void)
{
    fork();
    fork();
    printf("hi\n");
    while (wait(NULL) > 0) {
    }
    return 0;
}
