#pragma once

#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

// Runs work(item) for every item on as many threads as the application's thread pool may run (one
// per core unless set otherwise), the calling thread among them, and returns once all of them are
// done. Each item is worked on by one thread only, so the items of a call must not share anything
// work changes. Plain threads rather than the pool's own: the thread sanitizer sees how they hand
// items over and back.
template <typename Items, typename Work> void mapInParallel(Items& items, const Work& work) {
    std::vector<decltype(&*std::begin(items))> queue;
    for (auto& item : items)
        queue.push_back(&item);
    std::atomic<size_t> next{0};
    const auto takeItems = [&] {
        for (size_t i = next++; i < queue.size(); i = next++)
            work(*queue[i]);
    };
    const int allowed = std::max(1, QThreadPool::globalInstance()->maxThreadCount());
    const size_t helpers = queue.empty() ? 0 : std::min(size_t(allowed), queue.size()) - 1;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < helpers; ++i)
        threads.emplace_back(takeItems);
    takeItems();
    for (std::thread& thread : threads)
        thread.join();
}
