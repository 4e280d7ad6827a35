#include "runner.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

const char *const noFile = "<no file>";

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

// Starts argv in dir on the given stdin and stdout, stderr going to errFd.
static pid_t
spawn(const std::vector<std::string> &argv, const std::string &dir, int inFd,
      int outFd, int errFd, void (*prepare)())
{
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        dup2(inFd, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        close_range(3, ~0u, 0);
        setenv("LC_ALL", "C", 1);
        if (prepare != nullptr)
            prepare();
        if (chdir(dir.c_str()) == 0)
            execv(args[0], args.data());
        _exit(126);
    }
    close(inFd);
    close(outFd);
    return pid;
}

// Reads what is left of stdout, waits for the program and reads stderr.
static Result
reap(pid_t pid, int outFd, int errFd, Result r)
{
    r.out += drain(outFd);
    close(outFd);
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

Running
start(const std::vector<std::string> &argv, const std::string &in,
      const std::string &dir, void (*prepare)())
{
    int out[2];
    if (pipe(out) != 0)
        abort();
    int errFd = scratch("");
    pid_t pid = spawn(argv, dir, scratch(in), out[1], dup(errFd), prepare);
    return Running{pid, out[0], errFd};
}

Result
finish(const Running &r)
{
    return reap(r.pid, r.out, r.err, Result{});
}

Result
run(const std::vector<std::string> &argv, const std::string &in,
    const std::string &dir, void (*prepare)())
{
    return finish(start(argv, in, dir, prepare));
}

Result
converse(const std::vector<std::string> &argv, const std::string &dir,
         const std::vector<std::pair<std::string, std::string>> &dialogue)
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        abort();
    int errFd = scratch("");
    pid_t pid = spawn(argv, dir, in[0], out[1], dup(errFd), nullptr);

    Result r{};
    bool open = true;
    for (const auto &[prompt, answer] : dialogue) {
        auto waiting = [&] {
            return r.out.size() < prompt.size() ||
                   r.out.compare(r.out.size() - prompt.size(), prompt.size(),
                                 prompt) != 0;
        };
        while (open && waiting()) {
            struct pollfd p = {out[0], POLLIN, 0};
            char buf[4096];
            ssize_t n = -1;
            if (poll(&p, 1, 10000) > 0)
                n = read(out[0], buf, sizeof buf);
            if (n <= 0)
                open = false;
            else
                r.out.append(buf, (size_t)n);
        }
        if (waiting()) {
            ADD_FAILURE() << "no prompt \"" << prompt << "\" within 10 s; "
                          << "stdout so far: \"" << r.out << "\"";
            break;
        }
        if (write(in[1], answer.data(), answer.size()) !=
            (ssize_t)answer.size())
            break;
    }
    close(in[1]);
    return reap(pid, out[0], errFd, r);
}

Result
script(const std::string &dir, const std::string &program,
       const std::string &body)
{
    static const char prelude[] = R"sh(
fail() { echo "script: $*" >&2; exit 99; }
# Runs the command until it succeeds; after 30 s, fails saying WHY.
poll() {
  why=$1; shift
  end=$(($(date +%s) + 30))
  until "$@"; do
    [ "$(date +%s)" -lt "$end" ] || fail "$why"
    sleep 0.01
  done
}
holds() { grep -q -e "$2" "$1" 2>/dev/null; }
waitFor() { poll "no '$2' in $1 after 30 s" holds "$1" "$2"; }
)sh";
    return run({"/bin/sh", "-c", prelude + body, program}, "", dir);
}

std::ostream &
operator<<(std::ostream &os, const Row &row)
{
    return os << row.name;
}

void
Table::check()
{
    const Row &row = GetParam();
    if (row.input != noFile)
        writeFile(dir + "/in.txt", row.input);
    Result r = run(row.argv, row.in, dir, row.prepare);
    ASSERT_TRUE(r.exited) << "killed by signal " << r.status;
    EXPECT_EQ(row.status, r.status);
    expectOut(row.out, r.out);
    EXPECT_EQ(row.err, r.err);
    std::string text = noFile;
    readFile(dir + "/" + outName(), &text);
    EXPECT_EQ(row.file, text) << outName();
    text = noFile;
    readFile(dir + "/in.txt", &text);
    EXPECT_EQ(row.input, text) << "in.txt";
}
