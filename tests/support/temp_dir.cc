#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace nx {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "nxtest-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed: " + pattern);
  path_ = pattern;
}

TempDir::~TempDir() {
  if (std::getenv("NXSETUP_KEEP_MACHINE") == nullptr) RemoveHostTree(path_);
}

std::string TempDir::Write(const std::string& relative, const std::string& bytes) const {
  const std::string full = path_ + "/" + relative;
  WriteHostFile(full, bytes);
  return full;
}

void WriteHostFile(const std::string& hostPath, const std::string& bytes) {
  std::filesystem::path p(hostPath);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + hostPath);
}

std::string ReadHostFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + hostPath);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void RemoveHostTree(const std::string& hostPath) {
  std::error_code ignored;
  std::filesystem::remove_all(hostPath, ignored);
}

}  // namespace nx
