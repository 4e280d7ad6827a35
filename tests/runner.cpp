#include "runner.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

std::string
makeDir()
{
    std::string path =
        std::filesystem::temp_directory_path() / "sorttools.XXXXXX";
    if (mkdtemp(path.data()) == nullptr) {
        perror("mkdtemp");
        abort();
    }
    return path;
}

void
removeDir(const std::string &dir)
{
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void
writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

bool
readFile(const std::string &path, std::string *text)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream s;
    s << f.rdbuf();
    *text = s.str();
    return true;
}

// An unlinked temporary file: stdin's text, or a place for stderr.
static int
scratch(const std::string &text)
{
    std::string path =
        std::filesystem::temp_directory_path() / "sorttools-io.XXXXXX";
    int fd = mkstemp(path.data());
    if (fd < 0) {
        perror("mkstemp");
        abort();
    }
    unlink(path.c_str());
    if (write(fd, text.data(), text.size()) != (ssize_t)text.size())
        abort();
    lseek(fd, 0, SEEK_SET);
    return fd;
}

static std::string
drain(int fd)
{
    std::string text;
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buf, (size_t)n);
    }
    return text;
}

void
redirect(int fd, const char *path)
{
    int to = open(path, O_WRONLY);
    dup2(to, fd);
    close(to);
}

void
readerGone(int fd)
{
    int p[2];
    if (pipe(p) != 0)
        _exit(126);
    dup2(p[1], fd);
    close(p[0]);
    close(p[1]);
}

Result
run(const std::vector<std::string> &argv, const std::string &in,
    const std::string &dir, void (*prepare)())
{
    int inFd = scratch(in);
    int errFd = scratch("");
    int pipeFd[2];
    if (pipe(pipeFd) != 0)
        abort();

    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        dup2(inFd, 0);
        dup2(pipeFd[1], 1);
        dup2(errFd, 2);
        close_range(3, ~0u, 0);
        setenv("LC_ALL", "C", 1);
        if (prepare != nullptr)
            prepare();
        if (chdir(dir.c_str()) == 0)
            execv(args[0], args.data());
        _exit(126);
    }
    close(pipeFd[1]);
    close(inFd);

    Result r;
    r.out = drain(pipeFd[0]);
    close(pipeFd[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
        ;
    r.exited = WIFEXITED(status);
    r.status = r.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    lseek(errFd, 0, SEEK_SET);
    r.err = drain(errFd);
    close(errFd);
    return r;
}
