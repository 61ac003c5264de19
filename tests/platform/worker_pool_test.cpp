// The worker pool: every job run once into its own slot, and a failing job rethrown after the join.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "platform/worker_pool.h"

namespace tarkeep::upscale {
namespace {

TEST(WorkerPool, RunsEveryJobOnceIntoItsOwnSlotAndRethrowsAFailureAfterTheJoin) {
    for (std::size_t count : {0u, 1u, 7u, 1000u}) {
        const auto squares = platform::map_jobs<std::size_t>(count, [](std::size_t i) { return i * i; });
        ASSERT_EQ(squares.size(), count);
        for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(squares[i], i * i);
    }
    // A failing job stops nothing else.
    std::vector<std::atomic<int>> runs(50);
    EXPECT_THROW(platform::run_jobs(50,
                                    [&](std::size_t i) {
                                        runs[i].fetch_add(1);
                                        if (i % 10 == 3) throw std::runtime_error("job " + std::to_string(i));
                                    }),
                 std::runtime_error);
    for (auto& r : runs) EXPECT_EQ(r.load(), 1);
}

}  // namespace
}  // namespace tarkeep::upscale
