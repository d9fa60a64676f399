#include "platform/program.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/command_line.h"
#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/hosted_parts.h"
#include "platform/process_internal.h"

namespace nx {

std::string ProgramFolder() {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) throw OsError(kErrorPathNotFound, "/proc/self/exe");
  self[length] = '\0';
  const std::string folder = host::Parent(self);
  std::optional<std::string> windows = CurrentHostedMachine().WindowsPath(folder);
  if (!windows) throw OsError(kErrorPathNotFound, folder);
  if (windows->back() != '\\') *windows += '\\';
  return *windows;
}

std::string ProgramCommandLine() {
  if (std::optional<std::string> line = CapturedCommandLine()) return *line;
  // Started by something other than the machine's runner: rebuild the line from the arguments.
  std::string raw;
  try {
    raw = host::ReadAll("/proc/self/cmdline", "/proc/self/cmdline");
  } catch (const OsError&) {
    return "";
  }
  std::vector<std::string> words;
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t end = raw.find('\0', pos);
    if (end == std::string::npos) end = raw.size();
    words.push_back(raw.substr(pos, end - pos));
    pos = end + 1;
  }
  return JoinCommandLine(words);
}

void ExitProgram(uint32_t code) {
  ReportExitCode(code);
  std::exit(static_cast<int>(code & 0xFF));
}

}  // namespace nx
