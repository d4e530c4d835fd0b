#include "app/linux/TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace {
// Process-wide because a signal handler has no context argument.
int writeEnd = -1;
std::atomic<int> caught{0};
std::atomic<bool> installed{false};
std::atomic<TerminationSignals::LastWords> lastWords{nullptr};

void handleTermination(int signal) {
    if (caught.fetch_add(1) > 0) {
        if (const TerminationSignals::LastWords last = lastWords.load()) {
            last();
        }
        _exit(128 + signal);
    }
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe can only mean a signal is already pending; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = write(writeEnd, &number, 1);
    errno = saved;
}
}  // namespace

struct TerminationSignals::Saved {
    int readEnd = -1;
    struct sigaction interrupt {};
    struct sigaction terminate {};
    struct sigaction hangUp {};
};

TerminationSignals::TerminationSignals(LastWords beforeImmediateExit, QObject* parent)
    : QObject(parent), saved_(std::make_unique<Saved>()) {
    if (installed.exchange(true)) {
        throw std::logic_error("TerminationSignals already installed");
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        installed = false;
        throw std::runtime_error(std::string("Could not create the signal pipe: ") +
                                 std::strerror(errno));
    }
    saved_->readEnd = ends[0];
    writeEnd = ends[1];
    caught = 0;
    lastWords = beforeImmediateExit;

    struct sigaction action {};
    action.sa_handler = handleTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &saved_->interrupt);
    sigaction(SIGTERM, &action, &saved_->terminate);
    sigaction(SIGHUP, &action, &saved_->hangUp);

    notifier_ = std::make_unique<QSocketNotifier>(saved_->readEnd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readPipe(); });
}

TerminationSignals::~TerminationSignals() {
    sigaction(SIGINT, &saved_->interrupt, nullptr);
    sigaction(SIGTERM, &saved_->terminate, nullptr);
    sigaction(SIGHUP, &saved_->hangUp, nullptr);
    lastWords = nullptr;
    notifier_.reset();
    close(saved_->readEnd);
    close(writeEnd);
    writeEnd = -1;
    installed = false;
}

void TerminationSignals::readPipe() {
    unsigned char number = 0;
    while (read(saved_->readEnd, &number, 1) == 1) {
        ++received_;
        Q_EMIT terminationRequested(number);
    }
}
