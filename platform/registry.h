#pragma once
// The Windows registry: keys under a root, case-insensitive names, typed values. Failures throw
// OsError with the Windows code (kErrorFileNotFound for a missing key or value).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nx {

enum class RegRoot { kClassesRoot, kCurrentUser, kLocalMachine, kUsers };

// Windows REG_* codes.
enum RegType : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
  kRegQword = 11,
};

// data holds: UTF-8 text for kRegSz and kRegExpandSz; for kRegMultiSz each UTF-8 string followed
// by a NUL; 4 little-endian bytes for kRegDword, 8 for kRegQword; raw bytes otherwise.
struct RegValue {
  uint32_t type = kRegNone;
  std::string data;

  static RegValue String(const std::string& text) { return {kRegSz, text}; }
  static RegValue Dword(uint32_t n);
};

enum class RegAccess { kRead, kWrite };

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // std::nullopt when the value is absent.
  virtual std::optional<RegValue> QueryValue(const std::string& name) = 0;
  virtual void SetValue(const std::string& name, const RegValue& value) = 0;
  virtual void DeleteValue(const std::string& name) = 0;
  virtual std::vector<std::string> ValueNames() = 0;
  virtual std::vector<std::string> SubKeyNames() = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // path: "SOFTWARE\Norvexa" (a leading backslash is accepted). With create, every missing key
  // along the path is made (RegCreateKeyEx); without it a missing key gives kErrorFileNotFound.
  virtual std::unique_ptr<RegistryKey> OpenKey(RegRoot root, const std::string& path,
                                               RegAccess access, bool create) = 0;
  // Removes the key with everything below it; a missing key gives kErrorFileNotFound.
  virtual void DeleteKey(RegRoot root, const std::string& path) = 0;
};

}  // namespace nx
