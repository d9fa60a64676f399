#include "platform/platform.h"

#include <mutex>

#include "platform/native_platform.h"

namespace nx {

namespace {

std::mutex& PlatformMutex() {
  static std::mutex m;
  return m;
}

// What replacements put in place; members left null come from the native platform on demand,
// so a test that replaces everything never needs a machine.
Platform& Installed() {
  static Platform installed;
  return installed;
}

template <typename T>
void Fill(T*& slot, T* from) {
  if (slot == nullptr) slot = from;
}

}  // namespace

Platform& CurrentPlatform() {
  std::lock_guard<std::mutex> lock(PlatformMutex());
  Platform& p = Installed();
  if (!p.files || !p.registry || !p.processes || !p.environment || !p.network || !p.clock ||
      !p.system || !p.shell || !p.links) {
    Platform& native = NativePlatform();
    Fill(p.files, native.files);
    Fill(p.registry, native.registry);
    Fill(p.processes, native.processes);
    Fill(p.environment, native.environment);
    Fill(p.network, native.network);
    Fill(p.clock, native.clock);
    Fill(p.links, native.links);
    Fill(p.system, native.system);
    Fill(p.shell, native.shell);
  }
  return p;
}

ScopedPlatform::ScopedPlatform(const Platform& replacement) {
  std::lock_guard<std::mutex> lock(PlatformMutex());
  Platform& p = Installed();
  saved_ = p;
  if (replacement.files) p.files = replacement.files;
  if (replacement.registry) p.registry = replacement.registry;
  if (replacement.processes) p.processes = replacement.processes;
  if (replacement.environment) p.environment = replacement.environment;
  if (replacement.network) p.network = replacement.network;
  if (replacement.clock) p.clock = replacement.clock;
  if (replacement.links) p.links = replacement.links;
  if (replacement.system) p.system = replacement.system;
  if (replacement.shell) p.shell = replacement.shell;
}

ScopedPlatform::~ScopedPlatform() {
  std::lock_guard<std::mutex> lock(PlatformMutex());
  Installed() = saved_;
}

}  // namespace nx
