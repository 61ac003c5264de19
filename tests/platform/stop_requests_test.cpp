#include "platform/stop_requests.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"
#include "platform/signals.h"

namespace tarkeep::test {
namespace {

TEST(ConsoleEventAction, StopsOnCtrlCAndWaitsOnShutdownOrLogoff) {
    using enum platform::ConsoleEventAction;
    const std::tuple<unsigned long, bool, platform::ConsoleEventAction> cases[] = {
        {platform::kCtrlC, false, stop},
        {platform::kCtrlShutdown, true, stop_and_wait},
        {platform::kCtrlLogoff, false, stop_and_wait}};  // ignored by a service: the next test
    for (const auto& [event, service, action] : cases)
        EXPECT_EQ(platform::console_event_action(event, service), action) << event << " " << service;
}

TEST(HandleConsoleEvent, CloseReturnsOnlyOnceShutdownIsFinished) {
    std::atomic<bool> flag{false}, returned{false};
    platform::set_stop_flag(&flag);
    EXPECT_FALSE(platform::handle_console_event(3, false));
    // Another user's logoff, seen by a service: handled, no stop.
    EXPECT_TRUE(platform::handle_console_event(platform::kCtrlLogoff, true) && !flag.load());
    std::thread handler([&] { returned = platform::handle_console_event(platform::kCtrlClose, false); });
    while (!flag.load()) platform::sleep_milliseconds(1);
    platform::sleep_milliseconds(50);
    EXPECT_FALSE(returned.load()) << "the handler must hold the process while it shuts down";
    platform::stop_finished();
    handler.join();
    EXPECT_TRUE(returned.load());
    platform::set_stop_flag(nullptr);
}

}  // namespace
}  // namespace tarkeep::test
