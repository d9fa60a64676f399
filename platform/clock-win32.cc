#include "platform/win32_parts.h"

namespace nx {

namespace {

SYSTEMTIME ToSystemTime(const LocalTime& t) {
  SYSTEMTIME st;
  ZeroMemory(&st, sizeof st);
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  st.wMilliseconds = static_cast<WORD>(t.millisecond);
  return st;
}

}  // namespace

LocalTime Win32Clock::Now() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

// The user's regional settings: short date and long time formats.
std::string Win32Clock::FormatShortDate(const LocalTime& t) {
  const SYSTEMTIME st = ToSystemTime(t);
  wchar_t text[128];
  const int n = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, 128);
  return n > 0 ? Utf8(text, static_cast<size_t>(n - 1)) : std::string();
}

std::string Win32Clock::FormatLongTime(const LocalTime& t) {
  const SYSTEMTIME st = ToSystemTime(t);
  wchar_t text[128];
  const int n = ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, text, 128);
  return n > 0 ? Utf8(text, static_cast<size_t>(n - 1)) : std::string();
}

void Win32Clock::Sleep(int milliseconds) {
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace nx
