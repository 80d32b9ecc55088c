// kavlor-bench-run PROGRAM [ARGS...]: runs the program with its output sent to /dev/null
// and prints "<exit status> <seconds> <peak resident kB>" of that run.
//
// The benchmarks start programs through this small process so that the peak memory
// reported is the program's own: a process keeps the largest resident size it ever had,
// across exec, so a program started straight from the large benchmark process would
// report the benchmark's size. Forked from this fresh, small process, it starts small.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(argc < 2 ? stderr : stdout,
            "usage: kavlor-bench-run PROGRAM [ARGS...]\n"
            "Runs PROGRAM (output to /dev/null) and prints its exit status, seconds and peak resident kB.\n");
        return argc < 2 ? 2 : 0;
    }
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) {
        std::perror("kavlor-bench-run: fork");
        return 1;
    }
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execv(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0) { }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%d %.9f %ld\n", exitStatus, seconds, usage.ru_maxrss);
    return 0;
}
