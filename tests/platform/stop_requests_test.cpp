// Stop requests: what each console control event does, and a close that waits for the
// program's shutdown before the handler lets the system end the process.
#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"
#include "platform/signals.h"
#include "platform/stop_requests.h"

namespace tarkeep::test {
namespace {

using platform::ConsoleEventAction;

TEST(ConsoleEvents, EveryEventHasItsAction) {
    struct Case {
        unsigned long event;
        bool service;
        ConsoleEventAction action;
    };
    const Case cases[] = {
        {platform::kCtrlC, false, ConsoleEventAction::stop},
        {platform::kCtrlBreak, true, ConsoleEventAction::stop},
        {platform::kCtrlClose, true, ConsoleEventAction::stop_and_wait},
        {platform::kCtrlShutdown, true, ConsoleEventAction::stop_and_wait},
        {platform::kCtrlLogoff, false, ConsoleEventAction::stop_and_wait},
        {platform::kCtrlLogoff, true, ConsoleEventAction::ignore},  // another user's logoff
        {3, false, ConsoleEventAction::pass_on},
        {4, false, ConsoleEventAction::pass_on},
        {7, true, ConsoleEventAction::pass_on},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::console_event_action(c.event, c.service), c.action) << c.event << " " << c.service;
    // Windows ends the process after 5 s (close) or 20 s (logoff, shutdown) whatever we do.
    EXPECT_LT(platform::stop_wait_ms(platform::kCtrlClose), 5000u);
    EXPECT_GT(platform::stop_wait_ms(platform::kCtrlClose), 1000u);
    for (const unsigned long event : {platform::kCtrlLogoff, platform::kCtrlShutdown}) {
        EXPECT_LT(platform::stop_wait_ms(event), 20000u);
        EXPECT_GT(platform::stop_wait_ms(event), platform::stop_wait_ms(platform::kCtrlClose));
    }
}

TEST(ConsoleEvents, CloseSetsTheFlagAndReturnsOnlyOnceShutdownIsFinished) {
    std::atomic<bool> flag{false};
    platform::set_stop_flag(&flag);
    EXPECT_FALSE(platform::handle_console_event(3, false));
    EXPECT_TRUE(platform::handle_console_event(platform::kCtrlLogoff, true));
    EXPECT_FALSE(flag.load());
    EXPECT_TRUE(platform::handle_console_event(platform::kCtrlBreak, false));
    EXPECT_TRUE(flag.exchange(false));

    std::atomic<bool> returned{false};
    std::thread handler([&] { returned = platform::handle_console_event(platform::kCtrlClose, false); });
    while (!flag.load()) platform::sleep_milliseconds(1);
    platform::sleep_milliseconds(50);
    EXPECT_FALSE(returned.load()) << "the handler must hold the process while it shuts down";
    platform::stop_finished();
    handler.join();
    EXPECT_TRUE(returned.load());
    // Once finished, a later event does not wait at all.
    EXPECT_TRUE(platform::handle_console_event(platform::kCtrlShutdown, false));
    platform::set_stop_flag(nullptr);
}

}  // namespace
}  // namespace tarkeep::test
