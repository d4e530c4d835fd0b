#pragma once

#include <QString>

// An exclusive lock on a file, held for the life of the object: the single-instance check that
// works without a session bus. The kernel drops the lock when the process ends in any way, so a
// crashed copy never leaves a stale lock behind.
//
// Threads: main thread. Nothing is thrown; failures are returned.
class InstanceLock {
public:
    enum class Result {
        acquired,       // this process holds the lock now
        heldElsewhere,  // another process holds it
        failed,         // the file could not be made or locked; see problem()
    };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // "instance.lock" in "Quorvel" under $XDG_RUNTIME_DIR, or under the user's cache folder
    // when there is no runtime folder.
    static QString defaultPath();

    // Creates the file and its folder as needed and tries to lock it without waiting.
    Result acquire(const QString& path);

    const QString& path() const { return path_; }
    const QString& problem() const { return problem_; }

private:
    int fd_ = -1;
    QString path_;
    QString problem_;
};
