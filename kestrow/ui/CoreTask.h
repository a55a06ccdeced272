// RunCoreTask: runs a core operation on the core's device worker and hands
// its result to `done` on the user-interface thread, so that the window
// never waits on the adapter or on the main lock.  Without a worker (no
// start-up: tests of single pages) the operation runs at once.
//
// `done` runs only while `context` still exists; the operation itself runs
// to its end in any case (it holds the main lock for its whole run).
#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <utility>

#include "DeviceWorker.h"
#include "KestrowApp.h"
#include "QueuedCall.h"

namespace kestrow {

template <class Result>
void RunCoreTask(QObject *context, std::function<Result()> work, std::function<void(Result)> done)
{
    CDeviceWorker *worker = theApp().Worker();
    if (worker == nullptr) {
        done(work());
        return;
    }
    // Read on the user-interface thread only.
    auto alive = std::make_shared<QPointer<QObject>>(context);
    (void)worker->Post([work = std::move(work), done = std::move(done), alive]() mutable {
        auto result = std::make_shared<Result>(work());
        PostQueued(QCoreApplication::instance(), [done = std::move(done), alive, result]() {
            if (!alive->isNull())
                done(std::move(*result));
        });
    });
    // Not posted: the worker stops with the program, and nothing is shown.
}

} // namespace kestrow
