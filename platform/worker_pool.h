// A minimal worker pool: jobs handed out by index to up to 16 threads, the first exception rethrown.
#pragma once
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tarkeep::platform {

// The number of worker threads: the hardware threads, at least 1 and at most 16.
inline std::size_t worker_count() {
    const std::size_t hardware = std::thread::hardware_concurrency();
    return std::min<std::size_t>(std::max<std::size_t>(hardware, 1), 16);
}

// Runs job(i) for every i in [0, count) on up to worker_count() threads started
// together. Each thread takes the next index from one shared atomic counter until the
// jobs run out; no lock is taken, so a job must write only its own result slot. An
// exception that escapes a job stops nothing else and is rethrown (the first one) after
// all threads have been joined.
template <class Job>
void run_jobs(std::size_t count, Job&& job) {
    if (count == 0) return;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr first_error;
    auto worker = [&] {
        for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            try {
                job(i);
            } catch (...) {
                if (!failed.exchange(true)) first_error = std::current_exception();
            }
        }
    };
    const std::size_t threads = std::min(worker_count(), count);
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    for (auto& thread : pool) thread.join();
    if (first_error) std::rethrow_exception(first_error);
}

// run_jobs with one result slot per job: results[i] = job(i).
template <class Result, class Job>
std::vector<Result> map_jobs(std::size_t count, Job&& job) {
    std::vector<Result> results(count);
    run_jobs(count, [&](std::size_t i) { results[i] = job(i); });
    return results;
}

// Worker threads that take tasks as they are handed in, for work that becomes ready bit by bit
// (outputs of a running child, say). A task must not throw; the destructor waits for every
// task handed in.
class WorkerQueue {
public:
    explicit WorkerQueue(std::size_t threads = worker_count()) {
        for (std::size_t t = 0; t < std::max<std::size_t>(threads, 1); ++t) threads_.emplace_back([this] { work(); });
    }
    ~WorkerQueue() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        for (auto& thread : threads_) thread.join();
    }
    WorkerQueue(const WorkerQueue&) = delete;
    WorkerQueue& operator=(const WorkerQueue&) = delete;

    void add(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
            ++unfinished_;
        }
        changed_.notify_one();
    }

    // Returns once every task handed in so far has run.
    void wait_idle() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return unfinished_ == 0; });
    }

private:
    void work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
            if (tasks_.empty()) return;  // closing, and nothing left
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
            if (--unfinished_ == 0) idle_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> tasks_;
    std::size_t unfinished_ = 0;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tarkeep::platform
