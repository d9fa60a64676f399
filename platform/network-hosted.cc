#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <vector>

#include "platform/error.h"
#include "platform/hosted_parts.h"

namespace nx {

namespace {

// /proc/net/tcp "st" values to MIB_TCP_STATE.
uint32_t MibState(unsigned linuxState) {
  switch (linuxState) {
    case 0x01: return 5;   // ESTABLISHED
    case 0x02: return 3;   // SYN_SENT
    case 0x03: return 4;   // SYN_RCVD
    case 0x04: return 6;   // FIN_WAIT1
    case 0x05: return 7;   // FIN_WAIT2
    case 0x06: return 11;  // TIME_WAIT
    case 0x07: return 1;   // CLOSED
    case 0x08: return 8;   // CLOSE_WAIT
    case 0x09: return 10;  // LAST_ACK
    case 0x0A: return 2;   // LISTEN
    case 0x0B: return 9;   // CLOSING
    default: return 12;    // DELETE_TCB
  }
}

bool ParseHex(const char*& p, const char* end, uint32_t& out) {
  uint32_t n = 0;
  const char* start = p;
  while (p < end) {
    const char c = *p;
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else break;
    n = (n << 4) | static_cast<uint32_t>(d);
    ++p;
  }
  out = n;
  return p > start;
}

void SkipBlanks(const char*& p, const char* end) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
}

// "0100007F:1F90": the address as the kernel stores it (network order in memory, which is what
// MIB_TCPROW holds), the port in host order.
bool ParseEndpoint(const char*& p, const char* end, uint32_t& addr, uint32_t& port) {
  SkipBlanks(p, end);
  if (!ParseHex(p, end, addr) || p >= end || *p != ':') return false;
  ++p;
  uint32_t hostPort;
  if (!ParseHex(p, end, hostPort)) return false;
  port = htons(static_cast<uint16_t>(hostPort));
  return true;
}

std::vector<MibTcpRow> ReadTcpTable() {
  std::vector<MibTcpRow> rows;
  const int fd = ::open("/proc/net/tcp", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return rows;
  std::string text;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  rows.reserve(text.size() / 150);
  const char* p = text.data();
  const char* end = p + text.size();
  const char* nl = static_cast<const char*>(std::memchr(p, '\n', text.size()));
  if (nl == nullptr) return rows;
  p = nl + 1;  // header line
  while (p < end) {
    const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (lineEnd == nullptr) lineEnd = end;
    const char* q = p;
    p = lineEnd + 1;
    // "  0: 0100007F:1F90 00000000:0000 0A ..."
    SkipBlanks(q, lineEnd);
    uint32_t slot;
    if (!ParseHex(q, lineEnd, slot) || q >= lineEnd || *q != ':') continue;
    ++q;
    MibTcpRow row;
    uint32_t st;
    if (!ParseEndpoint(q, lineEnd, row.localAddr, row.localPort)) continue;
    if (!ParseEndpoint(q, lineEnd, row.remoteAddr, row.remotePort)) continue;
    SkipBlanks(q, lineEnd);
    if (!ParseHex(q, lineEnd, st)) continue;
    row.state = MibState(st);
    rows.push_back(row);
  }
  return rows;
}

int64_t MonotonicMs() {
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool ConnectOne(const sockaddr* address, socklen_t length, int64_t deadline) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = false;
  if (::connect(fd, address, length) == 0) {
    ok = true;
  } else if (errno == EINPROGRESS) {
    for (;;) {
      const int64_t left = deadline - MonotonicMs();
      if (left <= 0) break;
      pollfd pfd{fd, POLLOUT, 0};
      const int r = ::poll(&pfd, 1, static_cast<int>(left));
      if (r < 0 && errno == EINTR) continue;
      if (r > 0) {
        int soError = 0;
        socklen_t len = sizeof soError;
        ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) == 0 && soError == 0;
      }
      break;
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

uint32_t HostedNetwork::GetTcpTable(void* buffer, uint32_t* size, bool sort) {
  if (size == nullptr) return kErrorInvalidParameter;
  std::vector<MibTcpRow> rows = ReadTcpTable();
  const uint64_t needed = sizeof(uint32_t) + rows.size() * sizeof(MibTcpRow);
  if (buffer == nullptr || *size < needed) {
    *size = static_cast<uint32_t>(needed);
    return kErrorInsufficientBuffer;
  }
  if (sort) {
    std::sort(rows.begin(), rows.end(), [](const MibTcpRow& a, const MibTcpRow& b) {
      const auto key = [](const MibTcpRow& r) {
        return std::tuple(ntohl(r.localAddr), ntohs(static_cast<uint16_t>(r.localPort)), ntohl(r.remoteAddr),
                          ntohs(static_cast<uint16_t>(r.remotePort)));
      };
      return key(a) < key(b);
    });
  }
  const auto count = static_cast<uint32_t>(rows.size());
  std::memcpy(buffer, &count, sizeof count);
  if (!rows.empty()) std::memcpy(static_cast<char*>(buffer) + sizeof count, rows.data(), rows.size() * sizeof(MibTcpRow));
  return 0;
}

bool HostedNetwork::CanConnect(const std::string& host, uint16_t port, int timeoutMs) {
  const int64_t deadline = MonotonicMs() + std::max(timeoutMs, 0);
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) return false;
  bool ok = false;
  for (addrinfo* a = found; a != nullptr && !ok; a = a->ai_next) {
    if (MonotonicMs() >= deadline) break;
    ok = ConnectOne(a->ai_addr, a->ai_addrlen, deadline);
  }
  ::freeaddrinfo(found);
  return ok;
}

}  // namespace nx
