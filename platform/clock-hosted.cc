#include <time.h>

#include <cerrno>
#include <cstdio>

#include "platform/hosted_parts.h"

namespace nx {

LocalTime HostedClock::Now() {
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local;
  ::localtime_r(&now.tv_sec, &local);
  LocalTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  return t;
}

// es-ES: short date dd/MM/yyyy, long time H:mm:ss.
std::string HostedClock::FormatShortDate(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", t.day, t.month, t.year);
  return text;
}

std::string HostedClock::FormatLongTime(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

void HostedClock::Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec rest{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

}  // namespace nx
