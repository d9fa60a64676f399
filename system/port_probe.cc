#include "system/port_probe.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/error.h"
#include "platform/network.h"
#include "platform/platform.h"

namespace nx {
namespace {

// ntohs on any host: the two bytes as they lie in memory, most significant first.
uint16_t NetworkToHost16(uint16_t v) {
  unsigned char b[2];
  std::memcpy(b, &v, 2);
  return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

// A table that grows between asking its size and reading it gives 122 again; a few more tries
// keep a busy machine from having a listening port reported free.
constexpr int kTableTries = 5;

}  // namespace

bool PuertoEnUso(int port) {
  Network& network = *CurrentPlatform().network;
  std::vector<uint32_t> buffer(24 / sizeof(uint32_t));
  uint32_t size = 0;
  uint32_t result = 0;
  try {
    result = network.GetTcpTable(buffer.data(), &size, true);
    for (int i = 0; result == kErrorInsufficientBuffer && i < kTableTries; ++i) {
      buffer.assign(size / sizeof(uint32_t) + 1, 0);
      size = static_cast<uint32_t>(buffer.size() * sizeof(uint32_t));
      result = network.GetTcpTable(buffer.data(), &size, true);
    }
  } catch (const std::exception&) {
    return false;
  }
  if (result != 0) return false;

  const size_t bytes = buffer.size() * sizeof(uint32_t);
  const size_t capacity = bytes < 4 ? 0 : (bytes - 4) / sizeof(MibTcpRow);
  uint32_t count = buffer[0];
  if (count > capacity) count = static_cast<uint32_t>(capacity);
  const auto* base = reinterpret_cast<const unsigned char*>(buffer.data()) + 4;
  for (uint32_t i = 0; i < count; ++i) {
    MibTcpRow row;
    std::memcpy(&row, base + i * sizeof(MibTcpRow), sizeof row);
    if (row.state != kMibTcpStateListen) continue;
    if (NetworkToHost16(static_cast<uint16_t>(row.localPort & 0xFFFF)) == port) return true;
  }
  return false;
}

}  // namespace nx
