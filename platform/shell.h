#pragma once
// The Windows shell's "open" of a file (ShellExecuteW): a program or a batch file started and
// not waited for.

#include <cstdint>
#include <string>

namespace nx {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens file (a Windows path) with parameters (may be empty) in folder (the started program's
  // working folder; empty for the caller's), its first window shown as showMode says (kSwHide,
  // kSwShowNormal). A .bat or .cmd file runs in the command interpreter. Returns at once, without
  // waiting for what it started; false when nothing could be started (a missing file, a folder
  // that does not exist), with no message of its own.
  virtual bool Open(const std::string& file, const std::string& parameters, const std::string& folder,
                    uint16_t showMode) = 0;
};

}  // namespace nx
