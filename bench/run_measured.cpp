// Runs a command and writes what it cost to a file: wall seconds, CPU seconds (user and system,
// its own and those of the children it waited for) and peak resident memory in bytes, then its
// exit code:  run_measured RESULT_FILE COMMAND [ARGUMENT...]
// The command is started from this small process, not from the benchmark script: a process's
// peak memory counts what the process that forked it held until the exec.
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

double Seconds(const timeval& value)
{
    return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: run_measured RESULT_FILE COMMAND [ARGUMENT...]\n");
        return 2;
    }
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("run_measured: fork");
        return 2;
    }
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror("run_measured: exec");
        _exit(127);
    }
    int status = 0;
    rusage usage = {};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("run_measured: wait4");
        return 2;
    }
    timespec end;
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double wall =
        static_cast<double>(end.tv_sec - start.tv_sec) + static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::FILE* result = std::fopen(argv[1], "w");
    if (result == nullptr) {
        std::perror("run_measured: result file");
        return 2;
    }
    std::fprintf(result, "%.6f %.6f %ld %d\n", wall, Seconds(usage.ru_utime) + Seconds(usage.ru_stime),
                 usage.ru_maxrss * 1024L, code);
    return std::fclose(result) == 0 ? 0 : 2;
}
