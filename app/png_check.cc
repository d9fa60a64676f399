#include "app/png_check.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace nx {

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

uint32_t Crc(const unsigned char* p, size_t n) {
  const auto& table = CrcTable();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool ValidDepth(unsigned colourType, unsigned depth) {
  switch (colourType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: case 4: case 6: return depth == 8 || depth == 16;
    default: return false;
  }
}

}  // namespace

bool IsSoundPng(const std::string& bytes, int maxSide) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
    return false;

  size_t at = sizeof kSignature;
  bool first = true, sawData = false;
  while (at + 12 <= size) {
    const uint32_t length = BigEndian32(data + at);
    if (length > 0x7FFFFFFFu || length > size - at - 12) return false;
    const unsigned char* type = data + at + 4;
    const unsigned char* body = type + 4;
    if (Crc(type, length + 4) != BigEndian32(body + length)) return false;

    if (first) {
      if (std::memcmp(type, "IHDR", 4) != 0 || length != 13) return false;
      const uint32_t width = BigEndian32(body), height = BigEndian32(body + 4);
      if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSide) ||
          height > static_cast<uint32_t>(maxSide))
        return false;
      if (!ValidDepth(body[9], body[8]) || body[10] != 0 || body[11] != 0 || body[12] > 1)
        return false;
      first = false;
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      sawData = true;
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      return sawData && length == 0;  // bytes after the end do not matter to a reader
    }
    at += 12 + length;
  }
  return false;
}

}  // namespace nx
