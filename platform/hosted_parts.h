#pragma once
// Internal (hosted): the pieces a HostedMachine is made of. Not part of the contract; the core
// reaches them only through Platform.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace nx {

class HostedMachine;

// Where a machine keeps its records, relative to its root.
inline constexpr const char* kMachineRecordFile = "machine.ini";
inline constexpr const char* kDriveMapFile = "drives.txt";
inline constexpr const char* kRegistryFile = "registry.txt";
inline constexpr const char* kRegistryLockFile = "registry.lock";
inline constexpr const char* kAttributesLockFile = "attributes.lock";
inline constexpr const char* kDrivesLockFile = "drives.lock";
inline constexpr const char* kMachineLockFile = "machine.lock";
// The per-folder attribute record. A ':' cannot occur in a Windows name, so no Windows path
// reaches it and listings never show it.
inline constexpr const char* kAttributeSidecar = ":attributes";

// True for a name Windows accepts as one path part (no control characters, none of <>:"/\|?*).
bool IsValidWindowsName(const std::string& name);

struct MachineFacts {
  std::string root;          // absolute host folder
  std::string userName;      // USERNAME
  std::string computerName;  // COMPUTERNAME
};

// A Windows path taken apart: drive letter, normalized parts ("." and ".." applied, empty parts
// dropped), whether it ended in a separator.
struct WindowsPathParts {
  char drive = 'C';
  std::vector<std::string> parts;
  bool trailingSeparator = false;

  std::string Text() const;  // "C:\a\b" ("C:\" for the root)
};

struct ResolvedPath {
  std::string host;     // host path, existing parts spelt as on disk
  std::string windows;  // normalized Windows path, for messages
  bool isRoot = false;  // the drive's root folder
  bool trailingSeparator = false;
};

// The drive letters of a machine and the translation of paths both ways. The map is a file in
// the root, reread when another process changes it.
class DriveMap {
 public:
  explicit DriveMap(const std::string& root);

  void Map(char letter, const std::string& hostFolder);
  std::optional<std::string> HostFolder(char letter) const;
  std::map<char, std::string> Drives() const;

  // OsError(kErrorPathNotFound) naming the path when it lies outside every drive;
  // OsError(kErrorInvalidName) for a part Windows would not accept (wildcards included).
  WindowsPathParts Parse(const std::string& windowsPath) const;
  ResolvedPath Resolve(const std::string& windowsPath) const;
  ResolvedPath Resolve(const WindowsPathParts& parts) const;
  std::optional<std::string> WindowsPath(const std::string& hostPath) const;
  // The process's working folder as a Windows path; std::nullopt outside every drive.
  std::optional<WindowsPathParts> CurrentFolder() const;

 private:
  void Reload() const;

  std::string root_;
  std::string file_;
  mutable std::mutex mutex_;
  mutable std::map<char, std::string> drives_;
  // The map file is only ever replaced whole (a new inode), so its identity tells a change.
  mutable struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long mtimeSeconds = 0, mtimeNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
  } seenIdentity_;
};

// Read-only, hidden, system and archive bits, kept per folder in kAttributeSidecar.
class AttributeStore {
 public:
  explicit AttributeStore(const std::string& root);
  // The bits of an existing host file or folder (R, H, S, A; the directory bit added for folders).
  uint32_t Get(const std::string& hostPath, bool isDirectory) const;
  void Set(const std::string& hostPath, uint32_t bits, bool isDirectory);
  void Remove(const std::string& hostPath);
  // Explicit entries of one folder, by host name.
  std::map<std::string, uint32_t> Folder(const std::string& hostFolder) const;

 private:
  std::string lockFile_;
};

class HostedFileSystem : public FileSystem {
 public:
  HostedFileSystem(DriveMap& drives, AttributeStore& attributes);
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

 private:
  DriveMap& drives_;
  AttributeStore& attributes_;
};

class HostedRegistry : public Registry {
 public:
  explicit HostedRegistry(const std::string& root);
  ~HostedRegistry() override;
  std::unique_ptr<RegistryKey> OpenKey(RegRoot root, const std::string& path, RegAccess access,
                                       bool create) override;
  void DeleteKey(RegRoot root, const std::string& path) override;

  // Many keys and values in one rewrite of the file (a new machine's first contents). A seed
  // with an empty name and type kRegNone only makes its key.
  struct Seed {
    RegRoot root;
    std::string key;
    std::string name;
    RegValue value;
  };
  void SetValues(const std::vector<Seed>& seeds);

  struct Store;

 private:
  std::unique_ptr<Store> store_;
};

class HostedEnvironment : public Environment {
 public:
  explicit HostedEnvironment(const MachineFacts& facts);
  std::optional<std::string> Get(const std::string& name) override;
  // The machine's own variables before overrides (name as Windows spells it, value).
  const std::vector<std::pair<std::string, std::string>>& Base() const { return base_; }

 private:
  std::vector<std::pair<std::string, std::string>> base_;
};

class HostedProcessRunner : public ProcessRunner {
 public:
  HostedProcessRunner(const MachineFacts& facts, DriveMap& drives, Environment& environment);
  ProcessResult RunAndWait(const std::string& commandLine, uint16_t showMode) override;
  bool Start(const std::string& commandLine, uint16_t showMode, const std::string& folder) override;

 private:
  const MachineFacts& facts_;
  DriveMap& drives_;
  Environment& environment_;
};

class HostedNetwork : public Network {
 public:
  uint32_t GetTcpTable(void* buffer, uint32_t* size, bool sort) override;
  bool CanConnect(const std::string& host, uint16_t port, int timeoutMs) override;
};

// Answers from the machine's settings (HostedMachine::Settings), read at every call.
class HostedSystemInfo : public SystemInfo {
 public:
  explicit HostedSystemInfo(const HostedMachine& machine) : machine_(machine) {}
  std::optional<WindowsVersion> Version() override;
  bool IsAdministrator() override;

 private:
  const HostedMachine& machine_;
};

// "open" through the machine's process runner: the file, quoted, as the command line.
class HostedShell : public Shell {
 public:
  HostedShell(FileSystem& files, ProcessRunner& processes) : files_(files), processes_(processes) {}
  bool Open(const std::string& file, const std::string& parameters, const std::string& folder,
            uint16_t showMode) override;

 private:
  FileSystem& files_;
  ProcessRunner& processes_;
};

// Shortcut files written through the machine's file system.
class HostedShellLinks : public ShellLinks {
 public:
  explicit HostedShellLinks(FileSystem& files) : files_(files) {}
  void Save(const std::string& linkPath, const ShellLink& link) override;

 private:
  FileSystem& files_;
};

class HostedClock : public Clock {
 public:
  LocalTime Now() override;
  std::string FormatShortDate(const LocalTime& t) override;
  std::string FormatLongTime(const LocalTime& t) override;
  void Sleep(int milliseconds) override;
};

// Host file helpers shared by the parts.
namespace host {
bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
std::string Parent(const std::string& path);
std::string BaseName(const std::string& path);
// The lines of one of the machine's own record files, split at LF (a last line without one too).
std::vector<std::string> Lines(const std::string& text);
// Whole-file read; throws OsError with context.
std::string ReadAll(const std::string& path, const std::string& context);
// Writes a temporary file beside path, fsyncs it and renames it over path (then fsyncs the folder).
void WriteAtomically(const std::string& path, const std::string& bytes, const std::string& context,
                     int mode = 0666);
// A copy keeping the mode, in-kernel where possible and without waiting for the disk: for files
// that can be made again (a new machine's tools).
void CopyWithoutSync(const std::string& from, const std::string& to, const std::string& context);
// An flock held for the life of the object.
class FileLock {
 public:
  explicit FileLock(const std::string& lockFile);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};
}  // namespace host

}  // namespace nx
