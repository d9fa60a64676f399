#include "tools/cmd/interrupt.h"

#include <csignal>

namespace nx::tools {
namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

void WatchForInterrupt() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return interrupted != 0; }

}  // namespace nx::tools
