#include "actions/linux/SpawnScriptRunner.h"

#include "core/ActionError.h"
#include "core/Log.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

// A pidfd turns "the child has exited" into something poll() can wait on together with the pipe.
// Kernels before 5.3 lack it; the loop then falls back to checking the child every tick.
int openPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

constexpr int fallbackTickMs = 50;

// The process groups of every script running now, for killRunningScripts(). A signal handler
// may only read lock-free atomics, hence a fixed table rather than the runners' own lists.
// A group is entered before its leader can exit and removed before the leader is reaped, so the
// id can never belong to somebody else's group while it is listed.
std::array<std::atomic<pid_t>, 64> runningGroups{};

void trackGroup(pid_t group) {
    for (std::atomic<pid_t>& slot : runningGroups) {
        pid_t free = 0;
        if (slot.compare_exchange_strong(free, group)) {
            return;
        }
    }
    logLine("More than %zu scripts run at once; script %d would outlive an immediate exit",
            runningGroups.size(), int(group));
}

void untrackGroup(pid_t group) {
    for (std::atomic<pid_t>& slot : runningGroups) {
        pid_t listed = group;
        if (slot.compare_exchange_strong(listed, 0)) {
            return;
        }
    }
}

// Collects standard error up to a limit. Bytes past the limit are counted and dropped.
class ErrorOutput {
public:
    explicit ErrorOutput(std::size_t limit) : limit_(limit) {}

    void append(const char* data, std::size_t size) {
        const auto keptSize = static_cast<std::size_t>(kept_.size());
        const std::size_t room = limit_ > keptSize ? limit_ - keptSize : 0;
        const std::size_t taken = std::min(room, size);
        kept_.append(data, static_cast<qsizetype>(taken));
        dropped_ += size - taken;
    }

    std::size_t dropped() const { return dropped_; }

    // The kept bytes, without a character that the limit cut in half.
    QByteArray bytes() const {
        if (dropped_ == 0) {
            return kept_;
        }
        qsizetype start = kept_.size();
        int continuation = 0;
        while (start > 0 && continuation < 4) {
            const auto byte = static_cast<unsigned char>(kept_.at(start - 1));
            --start;
            if ((byte & 0xC0) != 0x80) {
                const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
                if (start + length > kept_.size()) {
                    return kept_.left(start);
                }
                break;
            }
            ++continuation;
        }
        return kept_;
    }

private:
    std::size_t limit_;
    QByteArray kept_;
    std::size_t dropped_ = 0;
};

QString messageFromErrorOutput(const QByteArray& bytes) {
    // The initial byte-order mark is part of what the script wrote, so it stays.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return QStringLiteral("Script failed");
    }
    return text;
}

QString describeLimit(std::chrono::milliseconds limit) {
    return QString::number(static_cast<double>(limit.count()) / 1000.0, 'g', 6);
}

}  // namespace

SpawnScriptRunner::SpawnScriptRunner(std::chrono::milliseconds timeLimit, std::size_t stderrLimit,
                                     std::chrono::milliseconds stopGrace)
    : timeLimit_(timeLimit),
      stderrLimit_(stderrLimit),
      stopGrace_(stopGrace),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
}

SpawnScriptRunner::~SpawnScriptRunner() {
    if (wake_ >= 0) {
        ::close(wake_);
    }
}

void SpawnScriptRunner::killRunningScripts() noexcept {
    for (const std::atomic<pid_t>& slot : runningGroups) {
        const pid_t group = slot.load();
        if (group > 0) {
            ::kill(-group, SIGKILL);
        }
    }
}

void SpawnScriptRunner::stopAll() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const pid_t group : running_) {
            ::kill(-group, SIGTERM);
        }
    }
    if (wake_ >= 0) {
        ::eventfd_write(wake_, 1);
    }
}

void SpawnScriptRunner::forget(pid_t group) {
    untrackGroup(group);
    std::lock_guard lock(mutex_);
    running_.erase(std::remove(running_.begin(), running_.end(), group), running_.end());
}

void SpawnScriptRunner::run(const QString& executable, const QStringList& arguments) {
    const QByteArray path = QFile::encodeName(executable);
    std::vector<QByteArray> storage;
    storage.reserve(static_cast<std::size_t>(arguments.size()) + 1);
    storage.push_back(path);
    for (const QString& argument : arguments) {
        storage.push_back(argument.toUtf8());
    }
    std::vector<char*> argv;
    for (QByteArray& item : storage) {
        argv.push_back(item.data());
    }
    argv.push_back(nullptr);

    int pipeEnds[2];
    // Close-on-exec so that scripts started meanwhile from other threads do not inherit our end
    // and keep the pipe open.
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw ActionError::failed(QStringLiteral("Could not launch %1: %2")
                                      .arg(executable, QString::fromLocal8Bit(strerror(errno))));
    }
    Descriptor readEnd(pipeEnds[0]);
    Descriptor writeEnd(pipeEnds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    // Dispositions we (or Qt) may ignore would otherwise be inherited by the script.
    for (int signal : {SIGPIPE, SIGCHLD, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
        sigaddset(&signals, signal);
    }
    posix_spawnattr_setsigdefault(&attributes, &signals);

    pid_t pid = -1;
    int spawned = 0;
    {
        // Under the lock, so that a stopAll() either comes first and nothing starts, or comes
        // after and finds the new script listed.
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            spawned =
                posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), environ);
            if (spawned == 0) {
                running_.push_back(pid);
                trackGroup(pid);
            }
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    writeEnd.reset();
    if (pid < 0 && spawned == 0) {
        throw ActionError::failed(
            QStringLiteral("%1 was not started: the program is quitting").arg(executable));
    }
    if (spawned != 0) {
        throw ActionError::failed(QStringLiteral("Could not launch %1: %2")
                                      .arg(executable, QString::fromLocal8Bit(strerror(spawned))));
    }
    // Until the script is reaped its group must stay listed, also when this function throws.
    struct Listed {
        SpawnScriptRunner* runner;
        pid_t group;
        ~Listed() {
            if (group > 0) {
                runner->forget(group);
            }
        }
    } listed{this, pid};

    Descriptor pidFd(openPidFd(pid));
    ErrorOutput errorOutput(stderrLimit_);
    Clock::time_point deadline = Clock::now() + timeLimit_;
    bool exited = false;
    bool timedOut = false;
    bool stopped = false;
    bool pipeOpen = true;
    int status = 0;
    char buffer[16384];

    auto reap = [&](int flags) {
        // Looked at without reaping first: the group leaves the lists while its leader is still
        // a zombie, whose id nobody else can have yet.
        siginfo_t info{};
        int result;
        do {
            result = ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT | flags);
        } while (result < 0 && errno == EINTR);
        if (result == 0 && info.si_pid == 0) {
            return;  // still running
        }
        forget(pid);
        listed.group = 0;
        pid_t reaped;
        do {
            reaped = ::waitpid(pid, &status, 0);
        } while (reaped < 0 && errno == EINTR);
        exited = true;
    };
    auto readOnce = [&]() {
        const ssize_t count = ::read(readEnd.get(), buffer, sizeof buffer);
        if (count > 0) {
            errorOutput.append(buffer, static_cast<std::size_t>(count));
            return true;
        }
        if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
            pipeOpen = false;
        }
        return false;
    };

    while (!exited || pipeOpen) {
        if (exited) {
            // The script is gone; take what is still buffered but do not wait for jobs it left
            // running in the background with our pipe as their standard error.
            ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);
            while (pipeOpen && readOnce()) {
            }
            pipeOpen = false;
            break;
        }
        if (pidFd.get() < 0) {
            reap(WNOHANG);
            if (exited) {
                continue;
            }
        }
        if (!stopped && stopping_) {
            // stopAll() has sent SIGTERM; a script that ignores it is killed after the grace.
            stopped = true;
            deadline = std::min(deadline, Clock::now() + stopGrace_);
        }
        const auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (remaining.count() <= 0) {
            ::kill(-pid, SIGKILL);
            timedOut = !stopped;
            reap(0);
            continue;
        }

        pollfd fds[3];
        nfds_t count = 0;
        int pipeIndex = -1;
        int pidIndex = -1;
        if (pipeOpen) {
            pipeIndex = static_cast<int>(count);
            fds[count++] = {readEnd.get(), POLLIN, 0};
        }
        if (pidFd.get() >= 0) {
            pidIndex = static_cast<int>(count);
            fds[count++] = {pidFd.get(), POLLIN, 0};
        }
        // Once signalled the counter stays readable; it is only watched until then.
        if (wake_ >= 0 && !stopped) {
            fds[count++] = {wake_, POLLIN, 0};
        }
        int timeout = static_cast<int>(std::min<long long>(remaining.count(), 1000 * 60 * 60));
        if (pidFd.get() < 0 || wake_ < 0) {
            timeout = std::min(timeout, fallbackTickMs);
        }
        const int ready = ::poll(fds, count, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            // Without poll we cannot keep the time limit; stop the script rather than hang.
            logLine("Script watch failed: %s", strerror(errno));
            ::kill(-pid, SIGKILL);
            reap(0);
            continue;
        }
        if (pipeIndex >= 0 && (fds[pipeIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
            readOnce();
        }
        if (pidIndex >= 0 && (fds[pidIndex].revents & POLLIN)) {
            reap(0);
        }
    }

    // A script that SIGTERM ended before the loop saw the request was stopped all the same.
    stopped = stopped || stopping_;
    if (errorOutput.dropped() > 0) {
        logLine("Script wrote %zu more bytes to standard error than are kept",
                errorOutput.dropped());
    }
    if (timedOut) {
        throw ActionError::failed(
            QStringLiteral("The script did not finish within %1 seconds and was stopped")
                .arg(describeLimit(timeLimit_)));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return;
    }
    if (stopped) {
        throw ActionError::failed(
            QStringLiteral("The script was stopped because the program is quitting"));
    }
    throw ActionError::failed(messageFromErrorOutput(errorOutput.bytes()));
}
