#pragma once

#include "actions/ScriptRunner.h"

#include "core/ActionError.h"
#include "core/MainThread.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>

// A ScriptRunner that records each run (program and arguments) and whether it ran on the main
// thread; a non-empty `failure` makes runs fail with it. stopAll() is only recorded.
class FakeScriptRunner : public ScriptRunner {
public:
    void run(const QString& executable, const QStringList& arguments) override {
        std::lock_guard lock(mutex);
        if (isMainThread()) {
            ++runsOnMain;
        }
        runs << (QStringList{executable} + arguments);
        if (!failure.isEmpty()) {
            throw ActionError::failed(failure);
        }
    }

    void stopAll() override {
        std::lock_guard lock(mutex);
        stopped = true;
    }

    std::mutex mutex;
    bool stopped = false;
    QList<QStringList> runs;
    QString failure;
    int runsOnMain = 0;
};
