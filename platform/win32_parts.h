#pragma once
// Internal (win32): the pieces of the Win32 platform and what they share. Text crosses into the
// API as UTF-16 and comes back as UTF-8; failures become OsError with the Windows code.

#include <windows.h>
// The API's A/W macros would rename the FileSystem methods of the same names.
#undef CopyFile
#undef DeleteFile
#undef MoveFile
#undef RemoveDirectory

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace nx {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* text, size_t length);
std::string Utf8(const std::wstring& text);

// Throws OsError for the code with the context (a path, a key).
[[noreturn]] void ThrowWin32(DWORD code, const std::string& context);
[[noreturn]] void ThrowLastError(const std::string& context);

class Win32FileSystem : public FileSystem {
 public:
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  uint32_t GetAttributes(const std::string& path) override;
  void SetAttributes(const std::string& path, uint32_t attributes) override;
  void CreateDirectories(const std::string& path) override;
  void RemoveDirectory(const std::string& path) override;
  void CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  void DeleteFile(const std::string& path) override;
  void MoveFile(const std::string& from, const std::string& to) override;
  std::vector<FoundFile> FindFiles(const std::string& pattern) override;
  std::string ReadFile(const std::string& path) override;
  void WriteFile(const std::string& path, const std::string& bytes) override;
  void AppendFile(const std::string& path, const std::string& bytes) override;
  std::string NativePath(const std::string& path) override;
};

class Win32Registry : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenKey(RegRoot root, const std::string& path, RegAccess access,
                                       bool create) override;
  void DeleteKey(RegRoot root, const std::string& path) override;
};

class Win32ProcessRunner : public ProcessRunner {
 public:
  ProcessResult RunAndWait(const std::string& commandLine, uint16_t showMode) override;
  bool Start(const std::string& commandLine, uint16_t showMode, const std::string& folder) override;
};

class Win32Environment : public Environment {
 public:
  std::optional<std::string> Get(const std::string& name) override;
};

class Win32Network : public Network {
 public:
  uint32_t GetTcpTable(void* buffer, uint32_t* size, bool sort) override;
  bool CanConnect(const std::string& host, uint16_t port, int timeoutMs) override;
};

class Win32SystemInfo : public SystemInfo {
 public:
  std::optional<WindowsVersion> Version() override;
  bool IsAdministrator() override;
};

class Win32Shell : public Shell {
 public:
  bool Open(const std::string& file, const std::string& parameters, const std::string& folder,
            uint16_t showMode) override;
};

class Win32ShellLinks : public ShellLinks {
 public:
  void Save(const std::string& linkPath, const ShellLink& link) override;
};

class Win32Clock : public Clock {
 public:
  LocalTime Now() override;
  std::string FormatShortDate(const LocalTime& t) override;
  std::string FormatLongTime(const LocalTime& t) override;
  void Sleep(int milliseconds) override;
};

}  // namespace nx
