#include "tests/support/log_lines.h"

#include <algorithm>
#include <sstream>

#include "platform/text.h"

namespace nx {

std::vector<std::string> LogLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::istringstream in(FromSystemCodePage(bytes));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t at = line.find(" : ");
    lines.push_back(at == std::string::npos ? line : line.substr(at + 3));
  }
  return lines;
}

::testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
  auto at = lines.begin();
  for (const std::string& w : wanted) {
    at = std::find(at, lines.end(), w);
    if (at == lines.end()) return ::testing::AssertionFailure() << "missing or out of order: " << w;
    ++at;
  }
  return ::testing::AssertionSuccess();
}

size_t CountStarting(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

}  // namespace nx
