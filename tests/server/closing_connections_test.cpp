#include "server/closing_connections.h"

#include "server_harness.h"

namespace tarkeep::test {
namespace {

// Peers that never close cannot pile up draining connections: past the cap the oldest is closed.
TEST(ClosingConnections, PastTheCapTheOldestIsClosedAndAllWhenOutOfTime) {
    ServerHarness harness;  // its accepted connections, taken over once it polls no more
    std::vector<std::unique_ptr<TestClient>> peers;
    for (int i = 0; i < 3; ++i) peers.push_back(harness.connect());
    server::ClosingConnections closing(60000000, 2);
    for (std::uint32_t id = 1; id <= 3; ++id) closing.add(std::move(harness.server->find_client(id)->connection), 0);
    EXPECT_EQ(closing.size(), 2u);
    closing.service(59999999);
    EXPECT_EQ(closing.size(), 2u);
    closing.service(60000000);
    EXPECT_EQ(closing.size(), 0u);
}

}  // namespace
}  // namespace tarkeep::test
