#pragma once
// Loading a shared library at run time and finding its entry points (dlopen on the hosted build,
// LoadLibraryW on Windows).

#include <memory>
#include <string>

namespace nx {

class DynamicLibrary {
 public:
  // The library by file name, searched as the system searches; nullptr with *error set (the
  // system's reason) when it cannot be loaded.
  static std::unique_ptr<DynamicLibrary> Open(const std::string& name, std::string* error);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // nullptr when the library has no such entry point.
  void* Symbol(const char* name) const;

 private:
  explicit DynamicLibrary(void* handle) : handle_(handle) {}
  void* handle_;
};

// The Firebird client library's file name on this platform.
std::string DefaultClientLibraryName();

// Held around the client library's calls that take file names (attachments, services). On the
// hosted build file names are UTF-8 whatever locale the program runs in, but the library converts
// them through the locale's character type, which it reads once, at its first conversion: the
// calls run with a UTF-8 character type. Nothing on Windows.
class ClientFileNameScope {
 public:
  ClientFileNameScope();
  ~ClientFileNameScope();
  ClientFileNameScope(const ClientFileNameScope&) = delete;
  ClientFileNameScope& operator=(const ClientFileNameScope&) = delete;

 private:
  void* saved_ = nullptr;
};

}  // namespace nx
