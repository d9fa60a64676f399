#include "system/port_probe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/network.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

// A socket closed at the end of its scope.
class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  ~Socket() { Close(); }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Port of a socket, in host order.
int PortOf(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

Socket ListenV4(const char* ip, int port = 0) {
  Socket s(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, ip, &a.sin_addr);
  EXPECT_EQ(bind(s.fd(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << std::strerror(errno);
  EXPECT_EQ(listen(s.fd(), 4), 0);
  return s;
}

TEST(PortProbeTest, ListenersOnAnyIpv4AddressCount) {
  ScratchMachine machine;
  for (const char* ip : {"0.0.0.0", "127.0.0.1"}) {
    Socket listener = ListenV4(ip);
    const int port = PortOf(listener.fd());
    EXPECT_TRUE(PuertoEnUso(port)) << ip << ":" << port;
    listener.Close();
    EXPECT_FALSE(PuertoEnUso(port)) << ip << ":" << port << " after closing";
  }
}

TEST(PortProbeTest, APortWithOnlyEstablishedConnectionsIsFree) {
  ScratchMachine machine;
  Socket listener = ListenV4("127.0.0.1");
  const int port = PortOf(listener.fd());
  Socket client(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  ASSERT_EQ(connect(client.fd(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  Socket accepted(accept(listener.fd(), nullptr, nullptr));
  ASSERT_GE(accepted.fd(), 0);
  ASSERT_TRUE(PuertoEnUso(port));
  // The accepted connection keeps the port as its local port, established, with nobody listening.
  listener.Close();
  EXPECT_FALSE(PuertoEnUso(port));
  EXPECT_EQ(PortOf(accepted.fd()), port);
}

TEST(PortProbeTest, AnIpv6OnlyListenerDoesNotCount) {
  ScratchMachine machine;
  Socket s(socket(AF_INET6, SOCK_STREAM, 0));
  ASSERT_GE(s.fd(), 0);
  int on = 1;
  setsockopt(s.fd(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  sockaddr_in6 a{};
  a.sin6_family = AF_INET6;
  a.sin6_addr = in6addr_any;
  if (bind(s.fd(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    GTEST_SKIP() << "no IPv6 here: " << std::strerror(errno);
  }
  ASSERT_EQ(listen(s.fd(), 4), 0);
  const int port = PortOf(s.fd());
  EXPECT_FALSE(PuertoEnUso(port));
  // The same port number on IPv4 is what counts.
  Socket v4 = ListenV4("0.0.0.0", port);
  EXPECT_TRUE(PuertoEnUso(port));
}

TEST(PortProbeTest, PortsOutsideTheRangeAreNeverInUse) {
  ScratchMachine machine;
  for (int port : {-1, 65536, 65536 + 22}) EXPECT_FALSE(PuertoEnUso(port)) << port;
}

// A table that fails, or that grows between asking its size and reading it: each scripted 122
// adds a row before reporting the size needed; a 0 delivers the table when the buffer holds it.
// The last row listens on 3050.
class ScriptedNetwork : public Network {
 public:
  explicit ScriptedNetwork(std::vector<uint32_t> answers) : answers_(std::move(answers)) {}
  uint32_t GetTcpTable(void* buffer, uint32_t* size, bool) override {
    const uint32_t answer = answers_.at(std::min(calls_++, answers_.size() - 1));
    if (answer == kErrorInsufficientBuffer) ++rows_;
    const uint32_t needed = 4 + static_cast<uint32_t>(sizeof(MibTcpRow)) * rows_;
    if (answer == kErrorInsufficientBuffer || (answer == 0 && *size < needed)) {
      *size = needed;
      return kErrorInsufficientBuffer;
    }
    if (answer != 0) return answer;
    std::memcpy(buffer, &rows_, 4);
    for (uint32_t i = 0; i < rows_; ++i) {
      MibTcpRow row{i == rows_ - 1 ? kMibTcpStateListen : 5u, 0, htons(3050), 0, 0};
      std::memcpy(static_cast<char*>(buffer) + 4 + i * sizeof row, &row, sizeof row);
    }
    return 0;
  }
  bool CanConnect(const std::string&, uint16_t, int) override { return false; }
  size_t calls() const { return calls_; }

 private:
  std::vector<uint32_t> answers_;
  size_t calls_ = 0;
  uint32_t rows_ = 0;
};

TEST(PortProbeTest, ScriptedTables) {
  ScratchMachine machine;
  struct Case {
    const char* what;
    std::vector<uint32_t> answers;
    bool expected;
  } cases[] = {
      {"size, then the table", {kErrorInsufficientBuffer, 0}, true},
      {"the table grew twice in between", {kErrorInsufficientBuffer, kErrorInsufficientBuffer,
                                            kErrorInsufficientBuffer, 0}, true},
      {"the table keeps growing", {kErrorInsufficientBuffer}, false},
      {"no table at all", {kErrorNotEnoughMemory}, false},
      {"size, then a failure", {kErrorInsufficientBuffer, kErrorInvalidParameter}, false},
  };
  for (const Case& c : cases) {
    ScriptedNetwork network(c.answers);
    ScopedPlatform scoped(Platform{.network = &network});
    EXPECT_EQ(PuertoEnUso(3050), c.expected) << c.what;
    EXPECT_LE(network.calls(), 6u) << c.what;
  }
}

}  // namespace
}  // namespace nx
