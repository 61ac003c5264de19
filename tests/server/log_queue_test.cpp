#include "server/log_queue.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

namespace tarkeep::test {
namespace {

TEST(LogQueue, ASlowStreamLosesCountedLines) {
    std::promise<void> entered, release;
    const std::shared_future<void> released = release.get_future().share();
    std::vector<std::string> written;
    server::LogQueue queue(
        [&](std::string_view line) {
            if (written.empty() && line == "a") entered.set_value(), released.wait();
            written.emplace_back(line);
            return true;
        },
        [](std::string_view text) { return std::string(text); }, 3);
    queue.push("a");
    entered.get_future().wait();  // the writer is stuck on "a"
    for (const char* text : {"b", "c", "d", "e", "f"}) queue.push(text);
    release.set_value();
    ASSERT_TRUE(queue.flush(60000));
    EXPECT_EQ(written, (std::vector<std::string>{"a", "b", "c", "d", "2 log lines dropped (output too slow)"}));
}

}  // namespace
}  // namespace tarkeep::test
