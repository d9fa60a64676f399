#pragma once
// A fresh host folder (mkdtemp) removed with everything in it at the end, unless
// NXSETUP_KEEP_MACHINE is set.

#include <string>

namespace nx {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes a host file below the folder (relative path with '/'), making its folders.
  std::string Write(const std::string& relative, const std::string& bytes) const;

 private:
  std::string path_;
};

// Host file helpers for tests: whole-file write (making the folders) and read.
void WriteHostFile(const std::string& hostPath, const std::string& bytes);
std::string ReadHostFile(const std::string& hostPath);
// Removes a host tree; errors are ignored.
void RemoveHostTree(const std::string& hostPath);

}  // namespace nx
