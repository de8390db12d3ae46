#include "spawner.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <stdexcept>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace bench {
namespace {

int toHelper = -1;
int fromHelper = -1;

bool writeAll(int fd, const void *data, std::size_t size)
{
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t done = write(fd, bytes, size);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool readAll(int fd, void *data, std::size_t size)
{
    char *bytes = static_cast<char *>(data);
    while (size > 0) {
        ssize_t done = read(fd, bytes, size);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

double now()
{
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

ProgramRun runHere(const std::vector<std::string> &arguments)
{
    ProgramRun result;
    std::vector<char *> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    double started = now();
    pid_t child = 0;
    int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return result;
    }
    int status = 0;
    struct rusage usage {};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            return result;
        }
    }
    result.seconds = now() - started;
    result.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.peakRssBytes = usage.ru_maxrss * 1024L;
    return result;
}

// The helper: reads a request (the argument count, then each argument's
// length and bytes), runs it and answers, until the benchmark process ends.
[[noreturn]] void serve(int requests, int answers)
{
    for (;;) {
        std::uint32_t count = 0;
        if (!readAll(requests, &count, sizeof count)) {
            _exit(0);
        }
        std::vector<std::string> arguments(count);
        for (std::string &argument : arguments) {
            std::uint32_t length = 0;
            if (!readAll(requests, &length, sizeof length)) {
                _exit(1);
            }
            argument.resize(length);
            if (!readAll(requests, argument.data(), length)) {
                _exit(1);
            }
        }
        ProgramRun result = runHere(arguments);
        if (!writeAll(answers, &result, sizeof result)) {
            _exit(1);
        }
    }
}

} // namespace

void Spawner::start()
{
    int request[2];
    int answer[2];
    if (pipe(request) != 0 || pipe(answer) != 0) {
        throw std::runtime_error("cannot make pipes for the spawner");
    }
    pid_t helper = fork();
    if (helper < 0) {
        throw std::runtime_error("cannot fork the spawner");
    }
    if (helper == 0) {
        close(request[1]);
        close(answer[0]);
        serve(request[0], answer[1]);
    }
    close(request[0]);
    close(answer[1]);
    toHelper = request[1];
    fromHelper = answer[0];
}

ProgramRun Spawner::run(const std::vector<std::string> &arguments)
{
    if (toHelper < 0) {
        return runHere(arguments);
    }
    auto count = static_cast<std::uint32_t>(arguments.size());
    bool sent = writeAll(toHelper, &count, sizeof count);
    for (const std::string &argument : arguments) {
        auto length = static_cast<std::uint32_t>(argument.size());
        sent = sent && writeAll(toHelper, &length, sizeof length) &&
               writeAll(toHelper, argument.data(), argument.size());
    }
    ProgramRun result;
    if (!sent || !readAll(fromHelper, &result, sizeof result)) {
        return ProgramRun{};
    }
    return result;
}

} // namespace bench
