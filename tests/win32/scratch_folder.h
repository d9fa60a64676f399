#pragma once
// A fresh folder under the Windows temporary folder, removed with its content at the end.

#include <string>

namespace nx::test {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // With a trailing backslash.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The text of a file the test wrote or the program wrote ("" when missing).
std::string ReadWholeFile(const std::string& path);

}  // namespace nx::test
