// Post-processing that overlaps the network: a job goes to the workers as soon as every output
// it waits for is complete, so that with a fast network the post-processing hides behind it and
// an interrupted run still finishes what the network finished.
#pragma once
#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/worker_pool.h"
#include "tools/upscale/pipeline.h"
#include "tools/upscale/progress.h"

namespace tarkeep::upscale {

// Saves a manifest once finished jobs have waited `every` seconds unsaved, so that a run killed
// at any moment loses at most that much of its work.
class PeriodicSave {
public:
    PeriodicSave(double every_seconds, std::function<void()> save) : every_(every_seconds), save_(std::move(save)) {}

    // A job finished; its record waits to be saved.
    void finished() {
        if (!oldest_unsaved_) oldest_unsaved_ = std::chrono::steady_clock::now();
    }
    void save_if_due() {
        if (!oldest_unsaved_ ||
            std::chrono::duration<double>(std::chrono::steady_clock::now() - *oldest_unsaved_).count() < every_)
            return;
        save_();
        oldest_unsaved_.reset();
    }

private:
    double every_;
    std::function<void()> save_;
    std::optional<std::chrono::steady_clock::time_point> oldest_unsaved_;
};

// Which jobs finish() still processes.
enum class PostScope {
    all,            // every job: the runs have ended
    complete_only,  // the jobs whose outputs are complete: the runs were interrupted
    started_only,   // none: only the jobs already handed to the workers are waited for
};

// A job's result does not depend on when it is processed: while the network runs a job is
// handed over only once its outputs are complete, and one that fails then (an output that
// looked complete but was not) is simply processed again after the runs, as if never tried.
template <class Job, class Result>
class StreamedPost {
public:
    using Process = std::function<Result(const Job&)>;

    // `outputs[i]` are the network outputs jobs[i] waits for.
    StreamedPost(const std::vector<Job>& jobs, std::vector<std::vector<NetworkOutput>> outputs, const NetworkRuns& runs,
                 Process process)
        : jobs_(jobs),
          outputs_(std::move(outputs)),
          runs_(runs),
          process_(std::move(process)),
          state_(jobs.size(), State::waiting),
          results_(jobs.size()) {
        for (const auto& job_outputs : outputs_) seen_.emplace_back(job_outputs.size(), false);
    }
    ~StreamedPost() { workers_.reset(); }

    // Main thread, while the network runs: hands over the jobs whose outputs are complete and
    // returns the jobs that succeeded since the last call (for the manifest).
    std::vector<std::size_t> poll() {
        if (!workers_) workers_.emplace();
        const auto present = runs_.outputs_present();
        for (std::size_t i = 0; i < jobs_.size(); ++i) {
            if (state_of(i) != State::waiting || !look_at_outputs(i, present)) continue;
            set_state(i, State::started);
            workers_->add([this, i] { run_started(i); });
        }
        std::lock_guard lock(mutex_);
        return std::exchange(succeeded_, {});
    }

    // What the network runs do meanwhile: poll(), each job that succeeded stored under its stem in
    // `manifest` and saved when `saver` says so; Ctrl+C and termination stop the runs.
    template <class Manifest>
    WhileRunning while_running(Manifest& manifest, PeriodicSave& saver) {
        return {[this, &manifest, &saver] {
                    for (const std::size_t i : poll()) {
                        manifest[jobs_[i].stem] = jobs_[i].record;
                        saver.finished();
                    }
                    saver.save_if_due();
                    return seen();
                },
                &stop_requests()};
    }

    // After the runs: waits for the jobs already handed over, then processes those `scope`
    // names on the worker pool with a progress line named `phase`.
    void finish(PostScope scope, const char* phase) {
        workers_.reset();  // waits for every job handed over
        std::vector<std::size_t> todo;
        const auto present = runs_.outputs_present();
        for (std::size_t i = 0; i < jobs_.size(); ++i) {
            if (state_[i] == State::done || scope == PostScope::started_only) continue;
            if (scope == PostScope::complete_only && !look_at_outputs(i, present)) continue;
            todo.push_back(i);
        }
        Progress progress(phase, todo.size());
        platform::run_jobs(todo.size(), [&](std::size_t k) {
            const std::size_t i = todo[k];
            results_[i] = attempt(i);
            state_[i] = State::done;
            progress.tick();
        });
    }

    // The outputs found complete so far, for the progress line.
    OutputsSeen seen() const { return seen_outputs_; }

    // Each job's result, nothing for a job left for the next run.
    const std::vector<std::optional<Result>>& results() const { return results_; }

    // How many jobs have no result.
    std::size_t left() const {
        std::size_t count = 0;
        for (const auto& result : results_) count += result ? 0 : 1;
        return count;
    }

private:
    enum class State { waiting, started, done };

    State state_of(std::size_t i) {
        std::lock_guard lock(mutex_);
        return state_[i];
    }
    void set_state(std::size_t i, State state) {
        std::lock_guard lock(mutex_);
        state_[i] = state;
    }

    // Marks the outputs of job i that are complete now; true when all of them are. Only files
    // the listing of their folder shows are opened: a poll looks at the new ones, not at all.
    bool look_at_outputs(std::size_t i, const std::vector<std::set<std::string>>& present) {
        bool all = true;
        for (std::size_t k = 0; k < outputs_[i].size(); ++k) {
            if (seen_[i][k]) continue;
            const NetworkOutput& output = outputs_[i][k];
            if (!present[output.run].count(output.name) || !runs_.output_complete(output)) {
                all = false;
                continue;
            }
            seen_[i][k] = true;
            ++seen_outputs_.count;
            seen_outputs_.input_mpx += outputs_[i][k].input_mpx;
        }
        return all;
    }

    Result attempt(std::size_t i) {
        Result result;
        try {
            result = process_(jobs_[i]);
        } catch (const std::exception& error) {
            result.error = error.what();
        }
        return result;
    }

    // A worker's job while the network runs; a failure puts the job back for after the runs.
    void run_started(std::size_t i) {
        Result result = attempt(i);
        std::lock_guard lock(mutex_);
        if (!result.error.empty()) {
            state_[i] = State::waiting;
            return;
        }
        results_[i] = std::move(result);
        state_[i] = State::done;
        succeeded_.push_back(i);
    }

    const std::vector<Job>& jobs_;
    std::vector<std::vector<NetworkOutput>> outputs_;
    const NetworkRuns& runs_;
    Process process_;
    std::mutex mutex_;
    std::vector<State> state_;
    std::vector<std::optional<Result>> results_;
    std::vector<std::size_t> succeeded_;
    std::vector<std::vector<bool>> seen_;
    OutputsSeen seen_outputs_;
    std::optional<platform::WorkerQueue> workers_;
};

}  // namespace tarkeep::upscale
