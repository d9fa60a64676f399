#pragma once
// The machine's clock with its pauses recorded instead of waited: the fixed waits of the start-up
// checks and of the schema synchronisation are asserted, not sat through. Install it with
// ScopedPlatform{Platform{.clock = &clock}}.

#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace nx {

class RecordingClock final : public Clock {
 public:
  explicit RecordingClock(Clock& real) : real_(real) {}
  LocalTime Now() override { return real_.Now(); }
  std::string FormatShortDate(const LocalTime& t) override { return real_.FormatShortDate(t); }
  std::string FormatLongTime(const LocalTime& t) override { return real_.FormatLongTime(t); }
  void Sleep(int milliseconds) override {
    pauses.push_back(milliseconds);
    if (onPause) onPause(milliseconds);
  }

  // Every pause asked for, in milliseconds, in order.
  std::vector<int> pauses;
  // Runs at each pause, in place of the wait (another process's doing during it, say).
  std::function<void(int)> onPause;

 private:
  Clock& real_;
};

}  // namespace nx
