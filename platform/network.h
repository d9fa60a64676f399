#pragma once
// The machine's network facts: its IPv4 TCP table and TCP reachability of a host.

#include <cstdint>
#include <string>

namespace nx {

constexpr uint32_t kMibTcpStateListen = 2;

// MIB_TCPROW: ports and addresses in network byte order, port in the low 16 bits.
struct MibTcpRow {
  uint32_t state;
  uint32_t localAddr;
  uint32_t localPort;
  uint32_t remoteAddr;
  uint32_t remotePort;
};

class Network {
 public:
  virtual ~Network() = default;
  // GetTcpTable: fills buffer with a 32-bit row count followed by MibTcpRow rows. Returns 0, or
  // kErrorInsufficientBuffer (122) with the needed size written to *size.
  virtual uint32_t GetTcpTable(void* buffer, uint32_t* size, bool sort) = 0;
  // A TCP connection to host:port within timeoutMs, closed at once; false on any failure.
  virtual bool CanConnect(const std::string& host, uint16_t port, int timeoutMs) = 0;
};

}  // namespace nx
