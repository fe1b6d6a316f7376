#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/files.h"
#include "platform/jet/jet_database.h"

namespace orbiq::platform::jet_internal {
namespace {

std::string ReaderPath() { return BesideProgram("orbiq_jet_reader", X_OK); }

long long NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

struct Fd {
    int fd = -1;
    ~Fd() { if (fd >= 0) close(fd); }
};

struct FileActions {
    posix_spawn_file_actions_t actions;
    FileActions() { posix_spawn_file_actions_init(&actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
};

struct SpawnAttr {
    posix_spawnattr_t attr;
    SpawnAttr() { posix_spawnattr_init(&attr); }
    ~SpawnAttr() { posix_spawnattr_destroy(&attr); }
};

// Ends the child if it is still there and reaps it; true when it exited with 0.
bool Reap(pid_t pid, bool kill) {
    if (kill) ::kill(pid, SIGKILL);
    int status = 0;
    pid_t r;
    do r = waitpid(pid, &status, 0); while (r < 0 && errno == EINTR);
    if (r < 0) return errno == ECHILD;  // reaped elsewhere (SIGCHLD ignored): judge by the output
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::optional<std::string> RunJetReader(const std::string& path, int timeoutMs) {
    return RunJetReader(ReaderPath(), path, timeoutMs);
}

std::optional<std::string> RunJetReader(const std::string& readerPath, const std::string& path, int timeoutMs) {
    std::string reader = readerPath;
    if (reader.empty()) return std::nullopt;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    Fd readEnd{fds[0]}, writeEnd{fds[1]};

    FileActions fa;
    posix_spawn_file_actions_addopen(&fa.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa.actions, writeEnd.fd, 1);
    posix_spawn_file_actions_addopen(&fa.actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&fa.actions, 3);
    SpawnAttr sa;
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&sa.attr, &none);
    posix_spawnattr_setsigdefault(&sa.attr, &defaults);
    posix_spawnattr_setflags(&sa.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // A fixed environment: MDBICONV or MDBOPTS of the user must not change what libmdb gives.
    std::string pathArg = path;
    char* argv[] = {reader.data(), pathArg.data(), nullptr};
    char env0[] = "LC_ALL=C";
    char* envp[] = {env0, nullptr};
    pid_t pid;
    if (posix_spawn(&pid, reader.c_str(), &fa.actions, &sa.attr, argv, envp) != 0) return std::nullopt;
    close(writeEnd.fd);
    writeEnd.fd = -1;

    std::string output;
    long long deadline = NowMs() + timeoutMs;
    char buffer[65536];
    for (;;) {
        long long left = deadline - NowMs();
        if (left <= 0) { Reap(pid, true); return std::nullopt; }
        pollfd p{readEnd.fd, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) { Reap(pid, true); return std::nullopt; }
        ssize_t n = read(readEnd.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) { Reap(pid, true); return std::nullopt; }
        if (n == 0) break;
        output.append(buffer, static_cast<size_t>(n));
        if (output.size() > kJetSnapshotLimit + (1u << 20)) { Reap(pid, true); return std::nullopt; }
    }
    // Output is complete; the process is about to exit.
    if (!Reap(pid, false)) return std::nullopt;
    return output;
}

}  // namespace orbiq::platform::jet_internal
