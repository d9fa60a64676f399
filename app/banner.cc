#include "app/banner.h"

#include <cstddef>

namespace nx {

// Generated at build time from the banner painter's output.
extern const unsigned char kBannerPng[];
extern const size_t kBannerPngSize;

const std::string& BuiltInBanner() {
  static const std::string bytes(reinterpret_cast<const char*>(kBannerPng), kBannerPngSize);
  return bytes;
}

}  // namespace nx
