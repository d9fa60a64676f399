#include "tools/medium/run_record.h"

#include <sstream>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nx::medium {

namespace {

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

std::string Two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

std::string RunRecordPath(const std::string& file) {
  std::optional<std::string> shared = CurrentPlatform().environment->Get("ALLUSERSPROFILE");
  if (!shared) throw OsError(kErrorEnvvarNotFound, "ALLUSERSPROFILE");
  return *shared + "\\Norvexa\\" + file;
}

void AppendRunRecord(const std::string& file, const std::string& program, const RunFields& fields) {
  Platform& platform = CurrentPlatform();
  std::string path = RunRecordPath(file);
  platform.files->CreateDirectories(path.substr(0, path.rfind('\\')));
  LocalTime t = platform.clock->Now();
  std::string block = "[" + program + " " + std::to_string(t.year) + "-" + Two(t.month) + "-" +
                      Two(t.day) + " " + Two(t.hour) + ":" + Two(t.minute) + ":" + Two(t.second) + "]\r\n";
  for (const auto& [name, value] : fields) block += name + "=" + OneLine(value) + "\r\n";
  platform.files->AppendFile(path, ToSystemCodePage(block));
}

std::vector<RunFields> ParseRunRecords(const std::string& text) {
  std::vector<RunFields> blocks;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      blocks.push_back({{"", line}});
      continue;
    }
    size_t eq = line.find('=');
    if (blocks.empty() || eq == std::string::npos) continue;
    blocks.back().push_back({line.substr(0, eq), line.substr(eq + 1)});
  }
  return blocks;
}

std::string RunField(const RunFields& fields, const std::string& name) {
  for (const auto& [n, v] : fields)
    if (n == name) return v;
  return "";
}

}  // namespace nx::medium
