#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the main thread, so that the orderly quit
// (every pad's quit frame first) runs in the event loop rather than inside a signal handler. The
// handler only writes the signal number into a pipe that a QSocketNotifier watches (the
// self-pipe idiom; write() is async-signal-safe, nothing else the quit needs is). SIGHUP is
// what closing the terminal sends; it ends the program the same orderly way.
//
// A second signal after the first ends the process at once with status 128 + signal: the user
// asked twice, so a pad that does not answer must not hold the quit up. This is decided inside
// the handler, so it works even if the main thread is stuck. `beforeImmediateExit`, when given,
// runs in the handler just before that exit (it must be async-signal-safe), so that nothing the
// program started outlives it.
//
// Threads: create and destroy on the main thread. At most one instance may exist at a time (the
// handlers are process-wide); a second construction throws std::logic_error. Destruction restores
// the previous handlers. If the pipe cannot be made, the constructor throws std::runtime_error
// and the default handlers stay in place.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    using LastWords = void (*)() noexcept;

    explicit TerminationSignals(LastWords beforeImmediateExit = nullptr, QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Signals caught so far (the second one never reaches the event loop).
    int received() const { return received_; }

Q_SIGNALS:
    // The first SIGINT, SIGTERM or SIGHUP arrived; `signal` is its number. Main thread.
    void terminationRequested(int signal);

private:
    void readPipe();

    struct Saved;
    std::unique_ptr<Saved> saved_;
    std::unique_ptr<QSocketNotifier> notifier_;
    int received_ = 0;
};
