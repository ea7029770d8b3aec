#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Runs jobs one after the other on a thread of its own, in the order they were given. The jobs
// are handed over under a lock of its own, which thread checkers see, unlike Qt's thread pool.
class SerialWorker {
public:
    SerialWorker()
        : thread([this] { work(); }) {}

    // Runs the jobs still waiting, then ends the thread.
    ~SerialWorker() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }

    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void run(std::function<void()> job) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            jobs.push_back(std::move(job));
        }
        wake.notify_all();
    }

    // Returns once every job given so far has run.
    void waitForDone() {
        std::unique_lock<std::mutex> lock(mutex);
        idle.wait(lock, [this] { return jobs.empty() && !busy; });
    }

private:
    void work() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (jobs.empty())
                return;
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            busy = true;
            lock.unlock();
            job();
            // What the job holds goes on this thread too, before the next job is taken.
            job = nullptr;
            lock.lock();
            busy = false;
            idle.notify_all();
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> jobs;
    bool busy = false;
    bool stopping = false;
    // Last, so that it starts once everything it uses exists.
    std::thread thread;
};
