#include "platform/net.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/shell.h"

namespace tarkeep::test {
namespace {

TEST(BindFailure, NamesTheSystemsMessageAndAHintForARefusedOrBusyPort) {
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
