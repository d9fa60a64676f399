#include "dbupdate/database_error.h"

#include <utility>

namespace nx {

namespace {

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += kDatabaseErrorSeparator;
    text += line;
  }
  return text;
}

}  // namespace

EDatabaseError::EDatabaseError(const std::string& message)
    : std::runtime_error(message), lines_{message} {}

EDatabaseError::EDatabaseError(std::vector<std::string> lines, long sqlCode, intptr_t engineCode)
    : std::runtime_error(Join(lines)),
      lines_(std::move(lines)),
      sqlCode_(sqlCode),
      engineCode_(engineCode) {}

}  // namespace nx
