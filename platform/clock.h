#pragma once
// Local time in the machine's regional formats, and waiting.

#include <string>

namespace nx {

struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // The locale's short date and long time formats (es-ES on the hosted machine: 10/12/2026, 9:05:03).
  virtual std::string FormatShortDate(const LocalTime& t) = 0;
  virtual std::string FormatLongTime(const LocalTime& t) = 0;
  virtual void Sleep(int milliseconds) = 0;
};

}  // namespace nx
