#pragma once
// Shortcut files (.lnk): what the shell's link object stores for a program's shortcut. Windows
// writes them through IShellLinkW and IPersistFile; elsewhere the same bytes are written
// (Windows' shell-link binary format) so that any reader of that format shows the same shortcut.

#include <string>

namespace nx {

struct ShellLink {
  std::string target;         // the program's full path
  std::string arguments;      // none when empty
  std::string workingFolder;  // none when empty
};

class ShellLinks {
 public:
  virtual ~ShellLinks() = default;
  // Writes the shortcut at linkPath, replacing a file of that name. OsError with the Windows
  // error code when the file cannot be written (missing or read-only folder, empty path).
  virtual void Save(const std::string& linkPath, const ShellLink& link) = 0;
};

// The shortcut in the shell-link binary format: header, link information with the target as a
// local path (in the system code page and in UTF-16) and the working folder and arguments as
// UTF-16 strings.
std::string FormatShellLink(const ShellLink& link);

}  // namespace nx
