// runProcess on POSIX: posix_spawnp with one pipe for standard output and
// error, the null device as standard input.
#include "common/process.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace common {

namespace {

std::runtime_error systemFailure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

// Closes a descriptor once, whichever way the scope is left.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
};

class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

} // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments) {
    int ends[2];
    if (pipe(ends) != 0)
        throw systemFailure("pipe");
    Descriptor readEnd(ends[0]), writeEnd(ends[1]);
    // Close-on-exec: the child keeps only the copies made by dup2 below,
    // so the read end sees the end of file once the child is gone.
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    fcntl(ends[1], F_SETFD, FD_CLOEXEC);

    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.get(), 1);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.get(), 2);
    // A caller that ignores SIGPIPE must not hand that on to the tool.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    ProcessResult result;
    pid_t child = 0;
    int status = posix_spawnp(&child, program.c_str(), &setup.actions, &setup.attributes,
                              argv.data(), environ);
    if (status != 0) {
        result.output = std::strerror(status);
        return result;
    }
    result.started = true;
    writeEnd.reset();

    char buffer[4096];
    int readError = 0;
    for (;;) {
        ssize_t count = read(readEnd.get(), buffer, sizeof buffer);
        if (count > 0)
            result.output.append(buffer, static_cast<size_t>(count));
        else if (count == 0)
            break;
        else if (errno != EINTR) {
            readError = errno;
            break;
        }
    }
    // Reaped even when reading failed: no zombie is left behind.
    readEnd.reset();
    int waitStatus = 0;
    while (waitpid(child, &waitStatus, 0) < 0)
        if (errno != EINTR)
            throw systemFailure("waitpid");
    if (readError != 0) {
        errno = readError;
        throw systemFailure("reading the output of " + program);
    }
    if (WIFEXITED(waitStatus))
        result.exitCode = WEXITSTATUS(waitStatus);
    else if (WIFSIGNALED(waitStatus))
        result.exitCode = 128 + WTERMSIG(waitStatus);
    return result;
}

std::optional<std::string> environmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

} // namespace common
