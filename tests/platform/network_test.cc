#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/network.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

// A listening socket on a free port, closed at the end.
struct Listener {
  Listener(int family, const char* address, bool v6only = false) {
    fd = ::socket(family, SOCK_STREAM, 0);
    int one = 1;
    if (family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    sockaddr_storage storage{};
    socklen_t length;
    if (family == AF_INET) {
      auto* a = reinterpret_cast<sockaddr_in*>(&storage);
      a->sin_family = AF_INET;
      inet_pton(AF_INET, address, &a->sin_addr);
      length = sizeof *a;
    } else {
      auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
      a->sin6_family = AF_INET6;
      inet_pton(AF_INET6, address, &a->sin6_addr);
      length = sizeof *a;
    }
    (void)v6only;
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&storage), length), 0);
    EXPECT_EQ(::listen(fd, 4), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length);
    port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&storage)->sin_port
                                   : reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
  }
  ~Listener() { ::close(fd); }
  int fd;
  uint16_t port;
};

std::vector<MibTcpRow> Table(bool sort = false) {
  Network& net = *CurrentPlatform().network;
  // Other programs (tests running beside this one) open and close sockets between two calls:
  // a buffer one byte short must be refused with the size needed at that moment, so the two
  // calls are repeated until the table held still between them.
  uint32_t size = 0, small = 0;
  uint32_t refused = 0;
  std::vector<char> buffer;
  for (int tries = 0; tries < 50; ++tries) {
    size = 0;
    EXPECT_EQ(net.GetTcpTable(nullptr, &size, sort), kErrorInsufficientBuffer);
    buffer.assign(size, 0);
    small = size - 1;
    refused = net.GetTcpTable(buffer.data(), &small, sort);
    if (refused == kErrorInsufficientBuffer && small == size) break;
  }
  EXPECT_EQ(refused, kErrorInsufficientBuffer);
  EXPECT_EQ(small, size);
  size += 20 * 64;  // room for sockets opened meanwhile
  buffer.resize(size);
  EXPECT_EQ(net.GetTcpTable(buffer.data(), &size, sort), 0u);
  uint32_t count;
  std::memcpy(&count, buffer.data(), 4);
  std::vector<MibTcpRow> rows(count);
  std::memcpy(rows.data(), buffer.data() + 4, count * sizeof(MibTcpRow));
  return rows;
}

const MibTcpRow* Find(const std::vector<MibTcpRow>& rows, uint32_t state, uint16_t port) {
  for (const MibTcpRow& r : rows) {
    if (r.state == state && r.localPort == htons(port)) return &r;
  }
  return nullptr;
}

TEST(NetworkTest, ListenersShowInTheTcpTableInNetworkOrder) {
  ScratchMachine m;
  Listener loopback(AF_INET, "127.0.0.1");
  Listener any(AF_INET, "0.0.0.0");
  Listener v6only(AF_INET6, "::1");
  const std::vector<MibTcpRow> rows = Table();
  const MibTcpRow* l = Find(rows, kMibTcpStateListen, loopback.port);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->localAddr, htonl(INADDR_LOOPBACK));
  EXPECT_EQ(l->remoteAddr, 0u);
  const MibTcpRow* a = Find(rows, kMibTcpStateListen, any.port);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->localAddr, 0u);
  EXPECT_EQ(Find(rows, kMibTcpStateListen, v6only.port), nullptr);
  EXPECT_EQ(CurrentPlatform().network->GetTcpTable(nullptr, nullptr, false), kErrorInvalidParameter);
}

TEST(NetworkTest, ConnectionsAreEstablishedRowsAndSortedTablesAreOrdered) {
  ScratchMachine m;
  Listener server(AF_INET, "127.0.0.1");
  ASSERT_TRUE(CurrentPlatform().network->CanConnect("127.0.0.1", server.port, 1500));
  const int client = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(server.port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  const std::vector<MibTcpRow> rows = Table(true);
  bool established = false;
  for (const MibTcpRow& r : rows) {
    if (r.state == 5 && r.remotePort == htons(server.port)) established = true;
  }
  EXPECT_TRUE(established);
  for (size_t k = 1; k < rows.size(); ++k) {
    const auto key = [](const MibTcpRow& r) { return std::make_pair(ntohl(r.localAddr), ntohs(r.localPort)); };
    EXPECT_LE(key(rows[k - 1]), key(rows[k]));
  }
  ::close(client);
}

TEST(NetworkTest, CanConnectIsFalseWhereNothingListens) {
  ScratchMachine m;
  uint16_t freePort;
  {
    Listener gone(AF_INET, "127.0.0.1");
    freePort = gone.port;
  }
  EXPECT_FALSE(CurrentPlatform().network->CanConnect("127.0.0.1", freePort, 500));
  EXPECT_FALSE(CurrentPlatform().network->CanConnect("no-such-host.invalid", 80, 500));
  Listener v6only(AF_INET6, "::1");
  EXPECT_FALSE(CurrentPlatform().network->CanConnect("::1", v6only.port, 500));  // IPv4 only
  Listener here(AF_INET, "127.0.0.1");
  EXPECT_TRUE(CurrentPlatform().network->CanConnect("localhost", here.port, 1500));
}

}  // namespace
}  // namespace nx
