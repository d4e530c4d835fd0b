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
QString displayProblem(int argc, char* argv[],
                       std::chrono::milliseconds limit = std::chrono::seconds(10));
