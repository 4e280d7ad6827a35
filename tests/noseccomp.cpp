// Preloaded into spawndraw to stand for a kernel or a container that
// refuses seccomp filters: prctl(PR_SET_SECCOMP) fails, all else is
// passed on.

#include <cerrno>
#include <cstdarg>

#include <dlfcn.h>
#include <linux/prctl.h>

extern "C" int
prctl(int option, ...)
{
    va_list ap;
    va_start(ap, option);
    unsigned long a[4];
    for (unsigned long &x : a)
        x = va_arg(ap, unsigned long);
    va_end(ap);
    if (option == PR_SET_SECCOMP) {
        errno = EINVAL;
        return -1;
    }
    using Prctl = int (*)(int, ...);
    static Prctl real = (Prctl)dlsym(RTLD_NEXT, "prctl");
    return real(option, a[0], a[1], a[2], a[3]);
}
