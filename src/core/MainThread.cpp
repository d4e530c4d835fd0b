#include "core/MainThread.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>

void runOnMain(std::function<void()> function) {
    runOnMain(nullptr, std::move(function));
}

void runOnMain(const QObject* context, std::function<void()> function) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        return;  // no event loop: the process is going away
    }
    // invokeMethod needs a non-const receiver; the call only posts an event to its thread.
    QObject* receiver = context ? const_cast<QObject*>(context) : app;
    QMetaObject::invokeMethod(receiver, std::move(function), Qt::QueuedConnection);
}

void runOnMainAfter(std::chrono::milliseconds delay, const QObject* context,
                    std::function<void()> function) {
    QPointer<const QObject> guard(context);
    const bool guarded = context != nullptr;
    runOnMain(context, [delay, guard, guarded, function = std::move(function)]() mutable {
        const QObject* timerContext = guarded ? guard.data() : QCoreApplication::instance();
        if (!timerContext) {
            return;
        }
        QTimer::singleShot(delay, timerContext, std::move(function));
    });
}

bool isMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
