#include "platform/profile.h"

#include <string_view>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/profile_parser.h"
#include "platform/text.h"

namespace nx {

namespace {

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

}  // namespace

std::optional<std::string> FindProfileValue(const std::string& text, const std::string& section,
                                            const std::string& key) {
  const std::string wantSection = FoldCase(section);
  const std::string wantKey = FoldCase(key);
  bool inSection = false;
  bool sectionSeen = false;
  size_t pos = 0;
  const size_t n = text.size();
  while (pos < n) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = n;
    const std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      // Only the first section of a name counts; later ones of the same name are not read.
      if (sectionSeen && inSection) return std::nullopt;
      size_t close = line.find(']');
      std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
      inSection = FoldCase(std::string(name)) == wantSection;
      if (inSection) sectionSeen = true;
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (FoldCase(std::string(Trim(line.substr(0, eq)))) != wantKey) continue;
    std::string_view value = Trim(line.substr(eq + 1));
    // A value written in matching quotes is given without them.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    // The caller gets a C string: a NUL ends the value.
    return std::string(value.substr(0, value.find('\0')));
  }
  return std::nullopt;
}

}  // namespace nx
