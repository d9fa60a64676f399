#include "system/install_log.h"

#include <optional>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nx {
namespace {

// The line in the system code page, each character the code page cannot hold written as '?'
// (what an ANSI write on Windows does). The log is read by people: a line with one odd character
// in a folder name must still be written, not cost the installation.
std::string ToLogBytes(const std::string& utf8) {
  const int codePage = SystemCodePage();
  if (std::optional<std::string> whole = Utf8ToCodePage(utf8, codePage)) return *whole;
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    // A byte that starts no character is one unwritable character.
    size_t n = DecodeUtf8At(utf8, i).length;
    if (n == 0) n = 1;
    std::optional<std::string> one = Utf8ToCodePage(utf8.substr(i, n), codePage);
    if (one && one->size() == 1) {
      out += *one;
    } else {
      out += '?';
    }
    i += n;
  }
  return out;
}

}  // namespace

std::string LogTimestamp(const LocalTime& t) {
  Clock& clock = *CurrentPlatform().clock;
  std::string stamp = clock.FormatShortDate(t);
  if (t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0) return stamp;
  return stamp + " " + clock.FormatLongTime(t);
}

std::string AppendInstallLog(const std::string& pathText, const std::string& linea) {
  Platform& platform = CurrentPlatform();
  const std::string line = LogTimestamp(platform.clock->Now()) + " : " + linea;
  const std::string file = pathText + "Install.log";
  try {
    platform.files->AppendFile(file, ToLogBytes(line) + "\r\n");
  } catch (const OsError& e) {
    throw EInOutError(e.code(), e.what());
  }
  return line;
}

}  // namespace nx
