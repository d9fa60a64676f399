#include "tools/cmd/tool_console.h"

#include <unistd.h>

#include <cerrno>

namespace nx::tools {
namespace {

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // a closed console is no reason to stop the work
    }
    done += static_cast<size_t>(n);
  }
}

}  // namespace

void Out(const std::string& text) { WriteAll(STDOUT_FILENO, text); }

void OutLine(const std::string& line) { WriteAll(STDOUT_FILENO, line + "\r\n"); }

void ErrLine(const std::string& line) { WriteAll(STDERR_FILENO, line + "\r\n"); }

std::optional<std::string> ReadAnswer() {
  // Byte by byte: the rest of the input belongs to whoever reads after us.
  std::string line;
  bool any = false;
  char c;
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    any = true;
    if (c == '\n') break;
    line += c;
  }
  if (!any) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace nx::tools
