#pragma once

#include <QThreadPool>

#include <condition_variable>
#include <mutex>

// Runs work(item) for every item, one task each on the application's thread pool (as large as
// the machine has cores), and returns once all of them are done. Each task sees only its own
// item, so the items of a call must not share anything a task changes.
template <typename Items, typename Work> void mapOnThreadPool(Items& items, const Work& work) {
    // Each task takes its item and hands it back under this lock as well as the pool's own, and
    // the calling thread waits on the count it guards: Qt's locks are invisible to the thread
    // sanitizer, which would otherwise report every item as a race. Tasks look at what they are
    // given only once they hold the lock, so they cannot run ahead of the loop that starts them.
    static std::mutex handOver;
    static std::condition_variable allDone;
    std::unique_lock<std::mutex> lock(handOver);
    size_t remaining = 0;
    for (auto& item : items) {
        ++remaining;
        QThreadPool::globalInstance()->start([&item, &work, &remaining] {
            std::unique_lock<std::mutex> taken(handOver);
            taken.unlock();
            work(item);
            taken.lock();
            if (--remaining == 0)
                allDone.notify_one();
        });
    }
    allDone.wait(lock, [&remaining] { return remaining == 0; });
}
