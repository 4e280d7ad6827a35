/* The buffered line. This program prints one line and then forks twice,
   and its output goes into a pipe to cat. How many times does "hello"
   come out, and why would a terminal show it once? */
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

int main(void)
{
    printf("hello\n");
    fork();
    fork();
    while (wait(NULL) > 0) {
    }
    return 0;
}
