// Where the operating systems differ: extended-length paths, console control events and
// the wait for shutdown, the system's own error texts for a busy or refused port.
#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/long_paths.h"
#include "platform/net.h"
#include "platform/shell.h"
#include "platform/signals.h"
#include "platform/stop_requests.h"

namespace tarkeep::test {
namespace {

TEST(ExtendedLengthForm, PrefixesOnlyAbsoluteNormalisedPaths) {
    const std::wstring pairs[] = {
        // given, expected
        L"z:\\",         L"\\\\?\\z:\\",  L"\\\\s", L"\\\\?\\UNC\\s", L"C:\\a..\\.b",     L"\\\\?\\C:\\a..\\.b",
        L"\\\\?\\C:\\a", L"\\\\?\\C:\\a", L"C:/c",  L"C:/c",          L"\\\\s\\t\\..\\a", L"\\\\s\\t\\..\\a",
        L"1:\\c",        L"1:\\c",        L"c\\a",  L"c\\a"};
    for (std::size_t i = 0; i < std::size(pairs); i += 2)
        EXPECT_EQ(platform::extended_length_form(pairs[i]), pairs[i + 1]);
}

TEST(ConsoleEvents, EachEventsActionAndCloseWaitsForTheShutdown) {
    using enum platform::ConsoleEventAction;
    const std::tuple<unsigned long, bool, platform::ConsoleEventAction> cases[] = {
        {platform::kCtrlC, false, stop},
        {platform::kCtrlShutdown, true, stop_and_wait},
        {platform::kCtrlLogoff, false, stop_and_wait}};  // ignored by a service: the next test
    for (const auto& [event, service, action] : cases)
        EXPECT_EQ(platform::console_event_action(event, service), action) << event << " " << service;

    // Close sets the flag and returns only once shutdown is finished.
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

TEST(BindFailure, SystemsMessageAndAHintForABusyOrRefusedPort) {
    const bool posix = platform::has_posix_shell();
    const int in_use = posix ? EADDRINUSE : 10048, refused = posix ? EACCES : 10013;
    const auto text = [](int code) {  // Wine has no texts for Winsock's codes
        const std::string message = platform::system_message(code);
        return "(error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
    };
    EXPECT_TRUE(
        platform::bind_failure_text("", 80, refused).starts_with("bind :80 " + text(refused) + "; the system refuses"));
    std::string error;
    platform::Socket first, second;
    std::uint16_t port = 0;
    ASSERT_TRUE(platform::network_start(error) && platform::listen_tcp("127.0.0.1", 0, first, port, error)) << error;
    EXPECT_FALSE(platform::listen_tcp("127.0.0.1", port, second, port, error));
    EXPECT_EQ(error, "bind 127.0.0.1:" + std::to_string(port) + " " + text(in_use) +
                         "; another program already listens on this port: stop it or choose another port)");
    platform::network_stop();
}

}  // namespace
}  // namespace tarkeep::test
