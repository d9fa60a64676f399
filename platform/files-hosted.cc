#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/error.h"
#include "platform/hosted_parts.h"
#include "platform/posix_error.h"
#include "platform/text.h"

namespace nx {

namespace {

bool StatOf(const std::string& host, struct stat& st) { return ::stat(host.c_str(), &st) == 0; }

// ERROR_FILE_NOT_FOUND when the folder is there and the name is not, ERROR_PATH_NOT_FOUND when
// the folder itself is missing, as Windows tells them apart.
[[noreturn]] void ThrowMissing(const ResolvedPath& r) {
  throw OsError(host::IsDirectory(host::Parent(r.host)) ? kErrorFileNotFound : kErrorPathNotFound, r.windows);
}

void RequireParentFolder(const ResolvedPath& r) {
  if (!host::IsDirectory(host::Parent(r.host))) throw OsError(kErrorPathNotFound, r.windows);
}

std::string TempBeside(const std::string& host) {
  static std::atomic<unsigned> counter{0};
  return host::Parent(host) + "/:tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

// Copies one host file, keeping the mode and the modification time. A new target is written in
// place and removed on failure; an existing one is replaced by a rename once the copy is whole,
// so a failure leaves its old content as it was.
void CopyHostFile(const std::string& from, const std::string& to, const std::string& context) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) ThrowErrno(errno, context, kErrorReadFault);
  struct stat st;
  if (::fstat(in, &st) != 0) {
    const int err = errno;
    ::close(in);
    ThrowErrno(err, context, kErrorReadFault);
  }
  std::string temp = to;
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  const bool inPlace = out >= 0;
  if (!inPlace && errno == EEXIST) {
    temp = TempBeside(to);
    out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777);
  }
  if (out < 0) {
    const int err = errno;
    ::close(in);
    ThrowErrno(err, context, kErrorWriteFault);
  }
  auto fail = [&](int err, uint32_t fallback) {
    ::close(in);
    ::close(out);
    ::unlink(temp.c_str());
    ThrowErrno(err, context, fallback);
  };
  // The kernel copies (and may share extents) where it can; plain reads and writes otherwise.
  bool kernelCopy = true;
  for (;;) {
    if (kernelCopy) {
      const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
      if (n > 0) continue;
      if (n == 0) break;
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) fail(errno, kErrorWriteFault);
      kernelCopy = false;  // nothing was copied by it: carry on by hand from the start
      if (::lseek(in, 0, SEEK_SET) < 0 || ::lseek(out, 0, SEEK_SET) < 0 || ::ftruncate(out, 0) < 0) fail(errno, kErrorWriteFault);
    }
    char buffer[1 << 16];
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(errno, kErrorReadFault);
    }
    if (got == 0) break;
    ssize_t done = 0;
    while (done < got) {
      const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        fail(errno, kErrorWriteFault);
      }
      done += put;
    }
  }
  ::fchmod(out, st.st_mode & 07777);
  const timespec times[2] = {st.st_atim, st.st_mtim};
  ::futimens(out, times);
  ::close(in);
  if (::close(out) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    ThrowErrno(err, context, kErrorWriteFault);
  }
  if (!inPlace && ::rename(temp.c_str(), to.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    ThrowErrno(err, context, kErrorWriteFault);
  }
}

// Windows name matching for FindFirstFile patterns, on folded text. The pattern is first given
// the DOS meanings Windows gives it: '?' matches one character or nothing before a dot or the
// end; "*." is a star that stops at the last dot; a dot before a wildcard or at the end also
// matches the end of the name.
constexpr char16_t kDosStar = u'<';
constexpr char16_t kDosQm = u'>';
constexpr char16_t kDosDot = u'"';

std::u16string DosPattern(const std::string& folded) {
  if (folded == "*.*") return u"*";
  std::u16string p = Utf8ToUtf16(folded);
  for (size_t i = 0; i < p.size(); ++i) {
    const char16_t next = i + 1 < p.size() ? p[i + 1] : 0;
    if (p[i] == u'?') {
      p[i] = kDosQm;
    } else if (p[i] == u'*' && next == u'.') {
      p[i] = kDosStar;
    } else if (p[i] == u'.' && (next == u'?' || next == u'*' || next == 0)) {
      p[i] = kDosDot;
    }
  }
  return p;
}

bool Matches(const std::u16string& p, size_t pi, const std::u16string& n, size_t ni, size_t lastDot) {
  while (pi < p.size()) {
    const char16_t c = p[pi];
    if (c == u'*') {
      for (size_t k = ni; k <= n.size(); ++k) {
        if (Matches(p, pi + 1, n, k, lastDot)) return true;
      }
      return false;
    }
    if (c == kDosStar) {
      const size_t limit = (lastDot != std::u16string::npos && lastDot >= ni) ? lastDot : n.size();
      for (size_t k = ni; k <= limit; ++k) {
        if (Matches(p, pi + 1, n, k, lastDot)) return true;
      }
      return false;
    }
    if (c == kDosQm) {
      if (ni < n.size() && n[ni] != u'.') {
        ++pi;
        ++ni;
        continue;
      }
      while (pi < p.size() && p[pi] == kDosQm) ++pi;
      continue;
    }
    if (c == kDosDot) {
      if (ni == n.size()) {
        ++pi;
        continue;
      }
      if (n[ni] != u'.') return false;
      ++pi;
      ++ni;
      continue;
    }
    if (ni >= n.size() || n[ni] != c) return false;
    ++pi;
    ++ni;
  }
  return ni == n.size();
}

bool NameMatches(const std::u16string& pattern, const std::string& name) {
  const std::u16string n = Utf8ToUtf16(FoldCase(name));
  return Matches(pattern, 0, n, 0, n.rfind(u'.'));
}

bool HasWildcards(const std::string& s) { return s.find_first_of("*?<>\"") != std::string::npos; }

}  // namespace

HostedFileSystem::HostedFileSystem(DriveMap& drives, AttributeStore& attributes)
    : drives_(drives), attributes_(attributes) {}

bool HostedFileSystem::FileExists(const std::string& path) {
  try {
    const ResolvedPath r = drives_.Resolve(path);
    struct stat st;
    return !r.trailingSeparator && StatOf(r.host, st) && !S_ISDIR(st.st_mode);
  } catch (const OsError&) {
    return false;
  }
}

bool HostedFileSystem::DirectoryExists(const std::string& path) {
  try {
    return host::IsDirectory(drives_.Resolve(path).host);
  } catch (const OsError&) {
    return false;
  }
}

uint32_t HostedFileSystem::GetAttributes(const std::string& path) {
  try {
    const ResolvedPath r = drives_.Resolve(path);
    struct stat st;
    if (!StatOf(r.host, st)) return kInvalidFileAttributes;
    const bool isDirectory = S_ISDIR(st.st_mode);
    if (r.trailingSeparator && !isDirectory) return kInvalidFileAttributes;
    if (r.isRoot) return kAttrDirectory;
    return attributes_.Get(r.host, isDirectory);
  } catch (const OsError&) {
    return kInvalidFileAttributes;
  }
}

void HostedFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  const ResolvedPath r = drives_.Resolve(path);
  struct stat st;
  if (!StatOf(r.host, st)) ThrowMissing(r);
  if (r.isRoot) throw OsError(kErrorAccessDenied, r.windows);
  attributes_.Set(r.host, attributes, S_ISDIR(st.st_mode));
}

void HostedFileSystem::CreateDirectories(const std::string& path) {
  const WindowsPathParts parts = drives_.Parse(path);
  const ResolvedPath r = drives_.Resolve(parts);
  const std::optional<std::string> driveFolder = drives_.HostFolder(parts.drive);
  if (!driveFolder || !host::IsDirectory(*driveFolder)) throw OsError(kErrorPathNotFound, r.windows);
  std::string current = *driveFolder;
  const std::string tail = r.host.substr(driveFolder->size());
  size_t pos = 0;
  while (pos < tail.size()) {
    if (tail[pos] == '/') {
      ++pos;
      continue;
    }
    size_t next = tail.find('/', pos);
    if (next == std::string::npos) next = tail.size();
    current += "/" + tail.substr(pos, next - pos);
    pos = next;
    struct stat st;
    if (StatOf(current, st)) {
      if (!S_ISDIR(st.st_mode)) throw OsError(kErrorAlreadyExists, r.windows);
      continue;
    }
    if (::mkdir(current.c_str(), 0777) != 0 && errno != EEXIST) ThrowErrno(errno, r.windows, kErrorAccessDenied);
    attributes_.Remove(current);  // a stale entry must not dress the new folder
  }
}

void HostedFileSystem::RemoveDirectory(const std::string& path) {
  const ResolvedPath r = drives_.Resolve(path);
  struct stat st;
  if (::lstat(r.host.c_str(), &st) != 0) ThrowMissing(r);
  if (!S_ISDIR(st.st_mode)) throw OsError(kErrorDirectory, r.windows);
  if (r.isRoot) throw OsError(kErrorAccessDenied, r.windows);
  if (attributes_.Get(r.host, true) & kAttrReadOnly) throw OsError(kErrorAccessDenied, r.windows);
  DIR* dir = ::opendir(r.host.c_str());
  if (dir == nullptr) ThrowErrno(errno, r.windows, kErrorAccessDenied);
  bool empty = true;
  std::vector<std::string> ours;  // the attribute record, and temporary files a killed writer left
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (name == kAttributeSidecar || name.rfind(":tmp-", 0) == 0) {
      ours.push_back(name);
      continue;
    }
    empty = false;
    break;
  }
  ::closedir(dir);
  if (!empty) throw OsError(kErrorDirNotEmpty, r.windows);
  for (const std::string& name : ours) ::unlink((r.host + "/" + name).c_str());
  if (::rmdir(r.host.c_str()) != 0) ThrowErrno(errno, r.windows, kErrorAccessDenied);
  attributes_.Remove(r.host);
}

void HostedFileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  const ResolvedPath source = drives_.Resolve(from);
  struct stat sst;
  if (!StatOf(source.host, sst)) ThrowMissing(source);
  if (S_ISDIR(sst.st_mode)) throw OsError(kErrorAccessDenied, source.windows);
  const ResolvedPath target = drives_.Resolve(to);
  struct stat tst;
  const bool exists = StatOf(target.host, tst);
  if (exists) {
    if (S_ISDIR(tst.st_mode)) throw OsError(kErrorAccessDenied, target.windows);
    if (tst.st_dev == sst.st_dev && tst.st_ino == sst.st_ino) throw OsError(kErrorSharingViolation, target.windows);
    if (failIfExists) throw OsError(kErrorFileExists, target.windows);
    // CopyFileW will not replace a read-only or hidden file.
    if (attributes_.Get(target.host, false) & (kAttrReadOnly | kAttrHidden)) {
      throw OsError(kErrorAccessDenied, target.windows);
    }
  } else {
    RequireParentFolder(target);
  }
  const uint32_t bits = attributes_.Get(source.host, false);
  CopyHostFile(source.host, target.host, target.windows);
  attributes_.Set(target.host, (bits == kAttrNormal ? 0 : bits) | kAttrArchive, false);
}

void HostedFileSystem::DeleteFile(const std::string& path) {
  const ResolvedPath r = drives_.Resolve(path);
  struct stat st;
  if (::lstat(r.host.c_str(), &st) != 0) ThrowMissing(r);
  if (S_ISDIR(st.st_mode)) throw OsError(kErrorAccessDenied, r.windows);
  if (attributes_.Get(r.host, false) & kAttrReadOnly) throw OsError(kErrorAccessDenied, r.windows);
  if (::unlink(r.host.c_str()) != 0) ThrowErrno(errno, r.windows, kErrorAccessDenied);
  attributes_.Remove(r.host);
}

void HostedFileSystem::MoveFile(const std::string& from, const std::string& to) {
  const ResolvedPath source = drives_.Resolve(from);
  struct stat sst;
  if (::lstat(source.host.c_str(), &sst) != 0) ThrowMissing(source);
  if (source.isRoot) throw OsError(kErrorAccessDenied, source.windows);
  const WindowsPathParts targetParts = drives_.Parse(to);
  const ResolvedPath target = drives_.Resolve(targetParts);
  if (target.isRoot) throw OsError(kErrorAccessDenied, target.windows);
  std::string destination = target.host;
  struct stat tst;
  if (::lstat(target.host.c_str(), &tst) == 0) {
    if (tst.st_dev != sst.st_dev || tst.st_ino != sst.st_ino) throw OsError(kErrorAlreadyExists, target.windows);
    // The same file under another spelling: a change of letter case only.
    destination = host::Parent(target.host) + "/" + targetParts.parts.back();
    if (destination == source.host) return;
  } else {
    RequireParentFolder(target);
  }
  const bool isDirectory = S_ISDIR(sst.st_mode);
  const uint32_t bits = attributes_.Get(source.host, isDirectory);
  if (::rename(source.host.c_str(), destination.c_str()) != 0) {
    if (errno != EXDEV) ThrowErrno(errno, source.windows, kErrorAccessDenied);
    // Another drive: files are copied and the original removed, as MoveFileW does.
    if (isDirectory) throw OsError(kErrorNotSameDevice, source.windows);
    CopyHostFile(source.host, destination, target.windows);
    if (::unlink(source.host.c_str()) != 0) ThrowErrno(errno, source.windows, kErrorAccessDenied);
  }
  attributes_.Remove(source.host);
  const uint32_t stored = (bits == kAttrNormal ? 0 : bits) & ~static_cast<uint32_t>(kAttrDirectory);
  attributes_.Set(destination, stored, isDirectory);
}

std::vector<FoundFile> HostedFileSystem::FindFiles(const std::string& pattern) {
  std::vector<FoundFile> found;
  const size_t cut = pattern.find_last_of("\\/");
  std::string folderPart, name;
  if (cut != std::string::npos) {
    folderPart = pattern.substr(0, cut + 1);
    name = pattern.substr(cut + 1);
  } else if (pattern.size() >= 2 && pattern[1] == ':') {
    folderPart = pattern.substr(0, 2);  // "C:*.txt": the current folder of C:
    name = pattern.substr(2);
  } else {
    name = pattern;
  }
  if (name.empty()) return found;
  if (HasWildcards(folderPart)) throw OsError(kErrorInvalidName, pattern);

  ResolvedPath folder;
  try {
    folder = drives_.Resolve(folderPart.empty() ? "." : folderPart);
  } catch (const OsError& e) {
    if (e.code() == kErrorInvalidName || e.code() == kErrorFilenameExcedRange) throw;
    return found;  // outside every drive: nothing to find, as FindFirstFile finds nothing
  }
  if (!host::IsDirectory(folder.host)) return found;
  const std::map<std::string, uint32_t> stored = attributes_.Folder(folder.host);

  auto add = [&](const std::string& hostName, const std::string& shownName) {
    struct stat st;
    if (!StatOf(folder.host + "/" + hostName, st)) return;  // a dangling link is not a file
    FoundFile f;
    f.name = shownName;
    const bool isDirectory = S_ISDIR(st.st_mode);
    auto it = stored.find(hostName);
    uint32_t bits = it != stored.end() ? it->second : (isDirectory ? 0u : static_cast<uint32_t>(kAttrArchive));
    if (isDirectory) bits |= kAttrDirectory;
    f.attributes = bits == 0 ? static_cast<uint32_t>(kAttrNormal) : bits;
    f.size = isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
    found.push_back(f);
  };

  if (!HasWildcards(name)) {
    try {
      const ResolvedPath one = drives_.Resolve(folder.windows + (folder.isRoot ? "" : "\\") + name);
      if (host::Exists(one.host)) add(host::BaseName(one.host), host::BaseName(one.host));
    } catch (const OsError&) {
    }
    return found;
  }

  const std::u16string dosPattern = DosPattern(FoldCase(name));
  if (!folder.isRoot) {
    for (const char* dots : {".", ".."}) {
      if (NameMatches(dosPattern, dots)) add(dots, dots);
    }
  }
  DIR* dir = ::opendir(folder.host.c_str());
  if (dir == nullptr) return found;
  while (dirent* entry = ::readdir(dir)) {
    const std::string hostName = entry->d_name;
    if (hostName == "." || hostName == "..") continue;
    if (!IsValidWindowsName(hostName)) continue;  // our records and names Windows cannot hold
    if (NameMatches(dosPattern, hostName)) add(hostName, hostName);
  }
  ::closedir(dir);
  return found;
}

std::string HostedFileSystem::ReadFile(const std::string& path) {
  const ResolvedPath r = drives_.Resolve(path);
  struct stat st;
  if (!StatOf(r.host, st)) ThrowMissing(r);
  if (S_ISDIR(st.st_mode)) throw OsError(kErrorAccessDenied, r.windows);
  return host::ReadAll(r.host, r.windows);
}

void HostedFileSystem::WriteFile(const std::string& path, const std::string& bytes) {
  const ResolvedPath r = drives_.Resolve(path);
  struct stat st;
  int mode = 0666;
  if (StatOf(r.host, st)) {
    if (S_ISDIR(st.st_mode)) throw OsError(kErrorAccessDenied, r.windows);
    // CREATE_ALWAYS with normal attributes refuses read-only, hidden and system files.
    if (attributes_.Get(r.host, false) & (kAttrReadOnly | kAttrHidden | kAttrSystem)) {
      throw OsError(kErrorAccessDenied, r.windows);
    }
    mode = static_cast<int>(st.st_mode & 07777);
    host::WriteAtomically(r.host, bytes, r.windows, mode);
    return;
  }
  RequireParentFolder(r);
  attributes_.Remove(r.host);
  host::WriteAtomically(r.host, bytes, r.windows, mode);
}

void HostedFileSystem::AppendFile(const std::string& path, const std::string& bytes) {
  const ResolvedPath r = drives_.Resolve(path);
  struct stat st;
  if (StatOf(r.host, st)) {
    if (S_ISDIR(st.st_mode)) throw OsError(kErrorAccessDenied, r.windows);
    if (attributes_.Get(r.host, false) & kAttrReadOnly) throw OsError(kErrorAccessDenied, r.windows);
  } else {
    RequireParentFolder(r);
    attributes_.Remove(r.host);
  }
  const int fd = ::open(r.host.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) ThrowErrno(errno, r.windows, kErrorWriteFault);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      ThrowErrno(err, r.windows, kErrorWriteFault);
    }
    done += static_cast<size_t>(put);
  }
  if (::close(fd) != 0) ThrowErrno(errno, r.windows, kErrorWriteFault);
}

std::string HostedFileSystem::NativePath(const std::string& path) { return drives_.Resolve(path).host; }

}  // namespace nx
