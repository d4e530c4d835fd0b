#pragma once

#include <QString>
#include <QStringList>

// Runs a user's script as a child process and reports how it ended, for the script actions.
//
// Thread: `run` blocks until the script has ended (or was stopped) and is meant for the shared
// action queue, never the main thread. One runner may be used from several threads.
// Failures: `run` throws ActionError with the message the user sees:
//   - the program cannot be launched: the system's launch error (e.g. a missing
//     "/usr/bin/osascript" names the file and "No such file or directory");
//   - the script exits with a non-zero status or is killed by a signal: everything it wrote to
//     standard error, decoded as UTF-8 exactly as written (an empty message when it wrote
//     nothing), or "Script failed" when those bytes are not valid UTF-8;
//   - the script outlives the runner's time limit, or stopAll() was called: it is stopped and
//     the message says so.
// The environment, working directory and standard input are inherited; standard output is
// discarded; the script text travels as one argument, unchanged.
class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;

    virtual void run(const QString& executable, const QStringList& arguments) = 0;

    // The quit: scripts running now are ended (asked first, then forced after a short grace),
    // their runs return with a message saying so, and later runs fail at once without starting
    // anything. Any thread; returns at once.
    virtual void stopAll() = 0;
};

// The shell that runs shell scripts: the first of `candidates` that is an executable file; the
// last candidate when none is (so that launching reports it missing).
// Thread: any. Never fails.
QString scriptShell(const QStringList& candidates = {"/bin/zsh", "/bin/bash", "/bin/sh"});
