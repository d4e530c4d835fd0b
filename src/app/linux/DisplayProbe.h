#pragma once

#include <QString>

#include <chrono>

// Whether a widgets application can start on the display named by the environment. Qt treats a
// display server it cannot reach (ssh without forwarding, a display manager not up yet, a missing
// platform plugin) as fatal and aborts the process, so a throw-away child process tries first.
//
// Returns the empty string when the child could start its application, else one line saying
// why not (the first thing Qt reported, or that the probe took longer than `limit`, after which
// the child is killed). `argc`/`argv` are the program's own, for Qt's platform options.
//
// Call before any QCoreApplication exists and before any thread starts: it forks.
//
// With `held`, a child that could start stays connected to the display until `held` releases
// it: some X servers (Xvfb among them) reset a connection that arrives just as another one
// closes, which would make the program's own connection, made right after the probe, fail, and
// Qt abort. The program connects first and then releases the probe. A failed try is repeated
// once, for the same reason.
class HeldDisplayProbe {
public:
    HeldDisplayProbe() = default;
    HeldDisplayProbe(const HeldDisplayProbe&) = delete;
    HeldDisplayProbe& operator=(const HeldDisplayProbe&) = delete;
    ~HeldDisplayProbe() { release(); }
    // Ends the child, if one is held, and waits for it.
    void release();

private:
    friend QString displayProblem(int, char*[], std::chrono::milliseconds, HeldDisplayProbe*);
    int child_ = -1;
};

QString displayProblem(int argc, char* argv[],
                       std::chrono::milliseconds limit = std::chrono::seconds(10),
                       HeldDisplayProbe* held = nullptr);
