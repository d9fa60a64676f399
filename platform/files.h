#pragma once
// The file operations the program needs, on Windows paths ("C:\Norvexa\DataBase\x.fdb").
// Names are resolved without regard to letter case on both platforms. Every failure throws
// OsError with the Windows error code.

#include <cstdint>
#include <string>
#include <vector>

namespace nx {

enum FileAttribute : uint32_t {
  kAttrReadOnly = 0x1,
  kAttrHidden = 0x2,
  kAttrSystem = 0x4,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

struct FoundFile {
  std::string name;     // bare name, as stored
  uint32_t attributes;  // FileAttribute bits
  uint64_t size;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True for an existing file (not a folder), as Delphi's FileExists.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // kInvalidFileAttributes when the path does not exist.
  virtual uint32_t GetAttributes(const std::string& path) = 0;
  virtual void SetAttributes(const std::string& path, uint32_t attributes) = 0;

  // Creates the folder and every missing parent; an existing folder is no error.
  virtual void CreateDirectories(const std::string& path) = 0;
  virtual void RemoveDirectory(const std::string& path) = 0;  // empty folders only

  // CopyFileW: with failIfExists an existing target gives kErrorFileExists. Attributes travel
  // with the file.
  virtual void CopyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
  virtual void DeleteFile(const std::string& path) = 0;
  virtual void MoveFile(const std::string& from, const std::string& to) = 0;

  // FindFirstFileW/FindNextFileW over a pattern whose last part may hold * and ? ("C:\x\*.fdb"),
  // with Windows matching ("*.*" matches every name, "." and ".." included where Windows lists
  // them). Order is the file system's. A folder or pattern that matches nothing gives an empty list.
  virtual std::vector<FoundFile> FindFiles(const std::string& pattern) = 0;

  // Whole-file reads and writes of raw bytes. WriteFile creates or truncates; AppendFile creates
  // a missing file and opens, appends and closes in one call.
  virtual std::string ReadFile(const std::string& path) = 0;
  virtual void WriteFile(const std::string& path, const std::string& bytes) = 0;
  virtual void AppendFile(const std::string& path, const std::string& bytes) = 0;

  // The path as the operating system under the program names it: the same text on Windows, the
  // host path on the hosted machine (for handing a file to a program that is not ours, such as
  // the database server). Throws OsError(kErrorPathNotFound) for a path outside every drive.
  virtual std::string NativePath(const std::string& path) = 0;
};

}  // namespace nx
