#include <atomic>

#include "platform/error.h"
#include "platform/win32_parts.h"

namespace nx {

namespace {

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Length of the part of a path that names its root: "C:\" (3), "C:" (2), "\\server\share\" or
// "\\?\C:\"; 0 for a relative path.
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // \\?\C:\... and \\server\share\...: the root ends after the second part.
    size_t parts = 0, i = 2;
    if (path.size() >= 4 && path[2] == '?' && IsSeparator(path[3])) {
      return 4 + RootLength(path.substr(4));
    }
    while (i < path.size() && parts < 2) {
      if (IsSeparator(path[i])) ++parts;
      ++i;
    }
    return i;
  }
  if (!path.empty() && IsSeparator(path[0])) return 1;
  return 0;
}

// A handle closed on every path.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  // Closes now, so that a failed close is seen.
  bool Close() {
    const BOOL ok = ::CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
  }

 private:
  HANDLE h_;
};

void WriteAll(HANDLE h, const std::string& bytes, const std::string& context) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    DWORD put = 0;
    if (!::WriteFile(h, bytes.data() + done, chunk, &put, nullptr)) ThrowLastError(context);
    done += put;
  }
}

std::string TempBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  size_t cut = path.find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  return folder + "~nx" + std::to_string(::GetCurrentProcessId()) + "-" +
         std::to_string(counter.fetch_add(1)) + ".tmp";
}

}  // namespace

bool Win32FileSystem::FileExists(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::DirectoryExists(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

uint32_t Win32FileSystem::GetAttributes(const std::string& path) { return Attributes(path); }

void Win32FileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  if (!::SetFileAttributesW(Wide(path).c_str(), attributes)) ThrowLastError(path);
}

void Win32FileSystem::CreateDirectories(const std::string& path) {
  const size_t root = RootLength(path);
  size_t pos = root;
  while (pos < path.size()) {
    while (pos < path.size() && IsSeparator(path[pos])) ++pos;
    if (pos >= path.size()) break;
    size_t next = pos;
    while (next < path.size() && !IsSeparator(path[next])) ++next;
    const std::string prefix = path.substr(0, next);
    pos = next;
    const DWORD a = Attributes(prefix);
    if (a != INVALID_FILE_ATTRIBUTES) {
      if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) ThrowWin32(ERROR_ALREADY_EXISTS, path);
      continue;
    }
    if (!::CreateDirectoryW(Wide(prefix).c_str(), nullptr)) {
      const DWORD err = ::GetLastError();
      // Made meanwhile by someone else: what was wanted.
      if (err == ERROR_ALREADY_EXISTS && DirectoryExists(prefix)) continue;
      ThrowWin32(err, path);
    }
  }
  if (!DirectoryExists(path)) ThrowWin32(ERROR_PATH_NOT_FOUND, path);
}

void Win32FileSystem::RemoveDirectory(const std::string& path) {
  if (!::RemoveDirectoryW(Wide(path).c_str())) ThrowLastError(path);
}

void Win32FileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  if (!::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), failIfExists)) ThrowLastError(to);
}

void Win32FileSystem::DeleteFile(const std::string& path) {
  if (!::DeleteFileW(Wide(path).c_str())) ThrowLastError(path);
}

void Win32FileSystem::MoveFile(const std::string& from, const std::string& to) {
  if (!::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_COPY_ALLOWED)) ThrowLastError(from);
}

std::vector<FoundFile> Win32FileSystem::FindFiles(const std::string& pattern) {
  std::vector<FoundFile> found;
  WIN32_FIND_DATAW data;
  HANDLE h = ::FindFirstFileW(Wide(pattern).c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND || err == ERROR_NO_MORE_FILES) {
      return found;
    }
    ThrowWin32(err, pattern);
  }
  do {
    FoundFile f;
    f.name = Utf8(data.cFileName, wcslen(data.cFileName));
    f.attributes = data.dwFileAttributes;
    f.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    found.push_back(std::move(f));
  } while (::FindNextFileW(h, &data));
  const DWORD err = ::GetLastError();
  ::FindClose(h);
  if (err != ERROR_NO_MORE_FILES) ThrowWin32(err, pattern);
  return found;
}

std::string Win32FileSystem::ReadFile(const std::string& path) {
  Handle h(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) ThrowLastError(path);
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(h.get(), buffer, sizeof buffer, &got, nullptr)) ThrowLastError(path);
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

void Win32FileSystem::WriteFile(const std::string& path, const std::string& bytes) {
  // CREATE_ALWAYS refuses read-only, hidden and system files; so does this.
  const DWORD a = Attributes(path);
  if (a != INVALID_FILE_ATTRIBUTES &&
      (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
    ThrowWin32(ERROR_ACCESS_DENIED, path);
  }
  // Written beside and renamed over the old file once whole: a failure leaves the old content.
  const std::string temp = TempBeside(path);
  {
    Handle h(::CreateFileW(Wide(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    if (!h.valid()) ThrowLastError(path);
    try {
      WriteAll(h.get(), bytes, path);
      if (!::FlushFileBuffers(h.get()) || !h.Close()) ThrowLastError(path);
    } catch (...) {
      h.Close();
      ::DeleteFileW(Wide(temp).c_str());
      throw;
    }
  }
  if (!::MoveFileExW(Wide(temp).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = ::GetLastError();
    ::DeleteFileW(Wide(temp).c_str());
    ThrowWin32(err, path);
  }
}

void Win32FileSystem::AppendFile(const std::string& path, const std::string& bytes) {
  Handle h(::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) ThrowLastError(path);
  WriteAll(h.get(), bytes, path);
  if (!h.Close()) ThrowLastError(path);
}

std::string Win32FileSystem::NativePath(const std::string& path) { return path; }

}  // namespace nx
