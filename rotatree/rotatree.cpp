// rotatree: reads a count and that many numbers, builds a search tree from
// them that is rebalanced after every insertion (printing it as it goes),
// then looks one number up and lists the tree.

#include "answers.h"
#include "tree.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

// On failure nothing is stored, and the caller ends the dialogue.
static bool
readNumber(const char *what, int *a)
{
    const char *why;
    if (readAnswer(a, &why) == GOT)
        return true;
    fflush(stdout);
    fprintf(stderr, "rotatree: %s: %s\n", what, why);
    return false;
}

// Once standard output has failed, what the program goes on to do is lost:
// say so and stop.
static bool
outputLost()
{
    if (fflush(stdout) == 0 && !ferror(stdout))
        return false;
    fprintf(stderr, "rotatree: standard output: %s\n", strerror(errno));
    return true;
}

int
main()
{
    int n, a, i;
    Tree *temp;
    char what[32];

    // A reader that has gone is reported as a failed write, not by a signal.
    signal(SIGPIPE, SIG_IGN);
    // The trace is large: to a file or a pipe it goes in large blocks. On
    // a terminal lines go out as they end, so the trace of the values typed
    // so far is on screen while the program waits for more.
    static char *buffer;
    if (!isatty(1) && (buffer = (char *)malloc(1 << 20)) != nullptr)
        setvbuf(stdout, buffer, _IOFBF, 1 << 20);

    printf("Enter number of elements: ");
    if (outputLost() || !readNumber("number of elements", &n))
        return 1;
    for (i = 0; i < n; i++) {
        snprintf(what, sizeof what, "element %d", i + 1);
        if (!readNumber(what, &a))
            return 1;
        addValue(a);
        if (ferror(stdout) && outputLost())
            return 1;
    }
    printf("Inserted!\n");

    printf("Enter element to search: ");
    if (outputLost() || !readNumber("element to search", &a))
        return 1;
    temp = search(a, root);
    if (temp != nullptr)
        printf("Element %d found at %x", temp->a, (unsigned)(uintptr_t)temp);
    else
        printf("Element not found\n");
    inorder(root);
    printf("\nExit!\n");
    return outputLost() ? 1 : 0;
}
