// The system's own error texts: a busy port's bind failure with its hint, the category of
// platform codes, and the 1 ms timer period that only Windows needs.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/net.h"
#include "platform/shell.h"

namespace tarkeep::test {
namespace {

// has_posix_shell tells the two systems apart without an OS conditional.
bool on_windows() { return !platform::has_posix_shell(); }

// ": " and the system's text, or nothing where the system has none (Wine lacks Winsock's).
std::string with_message(int code) {
    const std::string message = platform::system_message(code);
    return message.empty() ? "" : ": " + message;
}

const std::string kInUseHint = "; another program already listens on this port: stop it or choose another port";

TEST(BindFailure, TextCarriesTheSystemsMessageAndAHintForInUseAndRefusedPorts) {
    const int in_use = on_windows() ? 10048 : EADDRINUSE;
    const int refused = on_windows() ? 10013 : EACCES;
    const int other = 22;  // EINVAL here, ERROR_BAD_COMMAND on Windows: no hint
    EXPECT_EQ(platform::bind_failure_text("h", 7, in_use),
              "bind h:7 (error " + std::to_string(in_use) + with_message(in_use) + kInUseHint + ")");
    const std::string refused_text = platform::bind_failure_text("", 80, refused);
    EXPECT_TRUE(refused_text.starts_with("bind :80 (error " + std::to_string(refused) + with_message(refused) +
                                         "; the system refuses this port: "))
        << refused_text;
    EXPECT_TRUE(refused_text.ends_with("; choose another port)")) << refused_text;
    EXPECT_EQ(platform::bind_failure_text("h", 1, other), "bind h:1 (error 22" + with_message(other) + ")");
    EXPECT_FALSE(platform::system_message(other).empty());
    for (const int code : {in_use, refused, other}) {
        const std::string message = platform::system_message(code);
        EXPECT_FALSE(message.ends_with(".") || message.ends_with("\n")) << code;
        EXPECT_EQ(std::error_code(code, platform::native_category()).message(),
                  message.empty() ? "error " + std::to_string(code) : message);
    }
}

TEST(BindFailure, ABusyPortFailsWithTheInUseText) {
    std::string error;
    ASSERT_TRUE(platform::network_start(error)) << error;
    platform::Socket first, second;
    std::uint16_t port = 0, again = 0;
    ASSERT_TRUE(platform::listen_tcp("127.0.0.1", 0, first, port, error)) << error;
    EXPECT_FALSE(platform::listen_tcp("127.0.0.1", port, second, again, error));
    const int in_use = on_windows() ? 10048 : EADDRINUSE;
    EXPECT_EQ(error, platform::bind_failure_text("127.0.0.1", port, in_use));
    first.close();
    platform::network_stop();
}

TEST(FineTimerPeriod, HeldOnWindowsOnlyAndNestable) {
    const platform::FineTimerPeriod outer;
    {
        const platform::FineTimerPeriod inner;
        EXPECT_EQ(inner.held(), on_windows());
    }
    EXPECT_EQ(outer.held(), on_windows());
}

}  // namespace
}  // namespace tarkeep::test
