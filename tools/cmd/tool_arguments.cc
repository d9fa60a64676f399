#include "tools/cmd/tool_arguments.h"

#include <cctype>

#include "platform/text.h"

namespace nx::tools {
namespace {


}  // namespace

std::string ArgumentsText(const std::string& commandLine) {
  size_t i = 0;
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  if (i < commandLine.size() && commandLine[i] == '"') {
    size_t close = commandLine.find('"', i + 1);
    i = close == std::string::npos ? commandLine.size() : close + 1;
  }
  while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
  return commandLine.substr(i);
}

std::vector<ToolArgument> SplitArguments(const std::string& text, bool slashStartsToken) {
  std::vector<ToolArgument> result;
  ToolArgument current;
  bool inToken = false;
  bool inQuotes = false;
  auto finish = [&] {
    if (inToken) result.push_back(current);
    current = ToolArgument();
    inToken = false;
  };
  for (char c : text) {
    if (inQuotes) {
      if (c == '"') {
        inQuotes = false;
      } else {
        current.text += c;
      }
      continue;
    }
    if (IsBlank(c)) {
      finish();
    } else if (c == '"') {
      inToken = true;
      current.quoted = true;
      inQuotes = true;
    } else {
      if (c == '/' && slashStartsToken && inToken) finish();
      inToken = true;
      current.text += c;
    }
  }
  finish();
  return result;
}

std::string Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool SameSwitch(const std::string& text, const char* name) {
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= text.size()) return false;
    if (std::toupper(static_cast<unsigned char>(text[i])) !=
        std::toupper(static_cast<unsigned char>(name[i])))
      return false;
  }
  return i == text.size();
}

}  // namespace nx::tools
