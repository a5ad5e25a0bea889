// time_command: runs a command once and prints the wall time of its process, in seconds.
//
//   time_command COMMAND [ARGUMENT...]
//
// The clock starts just before the process is created and stops when it has been reaped, so
// the figure is the process's whole life: creation, loading, running and exit. Timed from a
// shell instead, every figure would also hold the shell duplicating itself to start the
// command, which on some virtual machines costs more than a millisecond and has nothing to
// do with the command. The process is started with posix_spawn, which does not copy this
// program's memory, and its standard output and error go to /dev/null.
//
// Exit status: the command's own (128 + the signal's number when a signal ended it), or 127
// when it could not be started; the time is printed in every case but the last.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace {

double Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: time_command COMMAND [ARGUMENT...]\n");
        return 127;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    const double start = Now();
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv[1], &actions, nullptr, argv + 1, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "time_command: cannot start %s: %s\n", argv[1], std::strerror(error));
        return 127;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            std::fprintf(stderr, "time_command: waiting for %s: %s\n", argv[1],
                         std::strerror(errno));
            return 127;
        }
    }
    const double end = Now();
    std::printf("%.6f\n", end - start);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 127;
}
