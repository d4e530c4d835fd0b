#include "core/MainThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <deque>
#include <mutex>

namespace {
// Calls coming from other threads pass through this object's own locked list rather than
// through functors handed to Qt, so that every hand-over is ordered by a mutex that the thread
// sanitizer can see (Qt's event queue is not instrumented in a sanitizer build).
class MainDispatcher : public QObject {
public:
    struct Call {
        QPointer<const QObject> context;
        bool guarded = false;
        std::function<void()> function;
    };

    static MainDispatcher* instance(QCoreApplication* app) {
        static MainDispatcher* dispatcher = [app] {
            auto* created = new MainDispatcher;
            created->moveToThread(app->thread());
            published().store(created, std::memory_order_release);
            return created;
        }();
        return dispatcher;
    }

    void post(Call call) {
        // The wake-up event is made under the lock and only read after taking it, so its hand-over
        // is ordered by the mutex too, not only by Qt's (uninstrumented) event queue.
        QEvent* wake = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (calls_.empty()) {
                wake = new QEvent(eventType());
            }
            calls_.push_back(std::move(call));
        }
        if (wake) {
            QCoreApplication::postEvent(this, wake);
        }
    }

protected:
    bool event(QEvent* event) override {
        // The first call may have created this object on a worker thread, and the main thread
        // got hold of it only through Qt's event queue: pair with the store made at creation.
        published().load(std::memory_order_acquire);
        QEvent::Type type = QEvent::None;
        {
            std::lock_guard lock(mutex_);
            type = event->type();
        }
        if (type != eventType()) {
            return QObject::event(event);
        }
        std::deque<Call> calls;
        {
            std::lock_guard lock(mutex_);
            calls.swap(calls_);
        }
        for (Call& call : calls) {
            if (call.guarded && !call.context) {
                continue;  // its target is gone
            }
            call.function();
        }
        return true;
    }

private:
    static std::atomic<MainDispatcher*>& published() {
        static std::atomic<MainDispatcher*> instance{nullptr};
        return instance;
    }

    static QEvent::Type eventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    std::mutex mutex_;
    std::deque<Call> calls_;
};
}  // namespace

void runOnMain(std::function<void()> function) {
    runOnMain(nullptr, std::move(function));
}

void runOnMain(const QObject* context, std::function<void()> function) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        return;  // no event loop: the process is going away
    }
    MainDispatcher::instance(app)->post({context, context != nullptr, std::move(function)});
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
