// A minimal worker pool: jobs handed out by index to up to 16 threads, the first exception rethrown.
#pragma once
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
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

}  // namespace tarkeep::platform
