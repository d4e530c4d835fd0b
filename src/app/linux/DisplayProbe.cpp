#include "app/linux/DisplayProbe.h"

#include <QGuiApplication>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

// What a held child writes once its application exists; then it waits to be ended.
constexpr char connectedMark[] = "\nquorvel: display connected\n";

QString tryDisplay(int argc, char* argv[], std::chrono::milliseconds limit, HeldDisplayProbe* held,
                   int& heldChild);
}  // namespace

void HeldDisplayProbe::release() {
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        while (::waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    child_ = -1;
}

QString displayProblem(int argc, char* argv[], std::chrono::milliseconds limit,
                       HeldDisplayProbe* held) {
    const Clock::time_point start = Clock::now();
    int child = -1;
    QString problem = tryDisplay(argc, argv, limit, held, child);
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    // A display that refused once may have reset a connection that came too early; one that
    // took the whole time is not asked again.
    if (!problem.isEmpty() && spent < limit / 2) {
        problem = tryDisplay(argc, argv, limit - spent, held, child);
    }
    if (held) {
        held->release();
        held->child_ = problem.isEmpty() ? child : -1;
    }
    return problem;
}

namespace {
QString tryDisplay(int argc, char* argv[], std::chrono::milliseconds limit, HeldDisplayProbe* held,
                   int& heldChild) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return QStringLiteral("the display could not be tried: %1")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    const pid_t child = ::fork();
    if (child == 0) {
        // What Qt says about the display goes to the parent; nothing else is printed.
        ::dup2(ends[1], STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);
        }
        if (held) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the program
        }
        int count = argc;
        QGuiApplication application(count, argv);
        if (held) {
            if (::write(STDERR_FILENO, connectedMark, sizeof connectedMark - 1) < 0) {
                ::_exit(1);
            }
            for (;;) {
                ::pause();
            }
        }
        ::_exit(0);
    }
    ::close(ends[1]);
    if (child < 0) {
        const int error = errno;
        ::close(ends[0]);
        return QStringLiteral("the display could not be tried: %1")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }

    // Read until the child exits (not until the pipe closes: a helper it started may keep it).
    // The child's descriptor becomes readable when it exits, so its end is seen at once; the
    // pipe closes a moment before the child can be reaped, and without a pidfd (kernels before
    // 5.3) the loop falls back to looking every 20 ms, up to 20 ms late on every start.
    // (Through syscall(): glibc 2.36's <sys/pidfd.h> lacks C linkage for C++.)
    const int exited = int(::syscall(SYS_pidfd_open, child, 0));
    std::string said;
    bool late = false;
    bool pipeOpen = true;
    int status = 0;
    const Clock::time_point deadline = Clock::now() + limit;
    auto readSome = [&] {
        char buffer[4096];
        const ssize_t got = ::read(ends[0], buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
            pipeOpen = false;
        } else if (got > 0 && said.size() < 64 * 1024) {
            said.append(buffer, size_t(got));
        }
        return got > 0;
    };
    for (;;) {
        if (::waitpid(child, &status, WNOHANG) == child) {
            ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
            while (pipeOpen && readSome()) {
            }
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            late = true;
            ::kill(child, SIGKILL);
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        if (held && said.find(connectedMark) != std::string::npos) {
            heldChild = child;
            break;
        }
        pollfd watched[2] = {{ends[0], POLLIN, 0}, {exited, POLLIN, 0}};
        if (!pipeOpen) {
            watched[0].fd = -1;  // poll skips negative descriptors
        }
        const int tick = int(std::min<long long>(left.count(), exited >= 0 ? 1000 : 20));
        if (::poll(watched, 2, tick) > 0 && (watched[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            readSome();
        }
    }
    if (exited >= 0) {
        ::close(exited);
    }
    ::close(ends[0]);
    if (late) {
        return QStringLiteral("the display did not answer within %1 seconds")
            .arg(double(limit.count()) / 1000.0);
    }
    if (heldChild == child || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
        return {};
    }
    const QString first = QString::fromLocal8Bit(said.data(), qsizetype(said.size()))
                              .section(QLatin1Char('\n'), 0, 0);
    return first.trimmed().isEmpty() ? QStringLiteral("Qt could not start on it") : first.trimmed();
}
}  // namespace
