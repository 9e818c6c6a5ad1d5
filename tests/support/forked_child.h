// Runs part of a test in a forked child with a deadline, so that a child that
// hangs or crashes fails its test instead of taking the suite down. POSIX
// only: Windows has no fork.
#pragma once

#if !defined(_WIN32)
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace vornmt::testing {

// Exit status of a child that hung (and was killed) or died of a signal.
constexpr int kChildHung = -1;

// Forks; the child runs `body` and leaves with its result through _exit (no
// destructors, no leak check of the forked copy). Returns the child's exit
// status, or kChildHung when it did not end within `timeout_ms`.
inline int RunInForkedChild(const std::function<int()>& body, int timeout_ms = 10000) {
    int ends[2];
    if (::pipe(ends) != 0) return kChildHung;
    pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        ::_exit(body());
    }
    ::close(ends[1]);
    // The read end reports a hang-up once the child has ended.
    pollfd watch{ends[0], POLLIN, 0};
    bool ended = child > 0 && ::poll(&watch, 1, timeout_ms) == 1;
    ::close(ends[0]);
    if (child < 0) return kChildHung;
    if (!ended) ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : kChildHung;
}

}  // namespace vornmt::testing
#endif
