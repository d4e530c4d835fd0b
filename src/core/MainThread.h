#pragma once

#include <QObject>

#include <chrono>
#include <functional>

// Hops to the main thread (the Qt event loop that owns models, store and UI). Callable from any
// thread once the QCoreApplication exists.
//
// With a `context`, the call is dropped if the context object is destroyed before it runs, which
// is how work coming back from a queue holds its target weakly.
void runOnMain(std::function<void()> function);
void runOnMain(const QObject* context, std::function<void()> function);

// Runs `function` on the main thread once `delay` has passed.
void runOnMainAfter(std::chrono::milliseconds delay, const QObject* context,
                    std::function<void()> function);

bool isMainThread();
