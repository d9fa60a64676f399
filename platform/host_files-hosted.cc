#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/error.h"
#include "platform/hosted_parts.h"
#include "platform/posix_error.h"

namespace nx::host {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Parent(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

std::string ReadAll(const std::string& path, const std::string& context) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowErrno(errno, context, kErrorReadFault);
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw OsError(kErrorAccessDenied, context);
  }
  std::string data;
  if (st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      ThrowErrno(err, context, kErrorReadFault);
    }
    if (got == 0) break;
    data.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  return data;
}

namespace {

void WriteAllTo(int fd, const std::string& bytes, const std::string& context) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno, context, kErrorWriteFault);
    }
    done += static_cast<size_t>(put);
  }
}

}  // namespace

void WriteAtomically(const std::string& path, const std::string& bytes, const std::string& context,
                     int mode) {
  static std::atomic<unsigned> counter{0};
  const std::string temp = Parent(path) + "/:tmp-" + std::to_string(::getpid()) + "-" +
                           std::to_string(counter.fetch_add(1));
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) ThrowErrno(errno, context, kErrorWriteFault);
  try {
    WriteAllTo(fd, bytes, context);
    if (::fsync(fd) != 0) ThrowErrno(errno, context, kErrorWriteFault);
  } catch (...) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    ThrowErrno(err, context, kErrorWriteFault);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    ThrowErrno(err, context, kErrorWriteFault);
  }
  // The rename itself must survive a power cut, not only the data.
  const int dir = ::open(Parent(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

void CopyWithoutSync(const std::string& from, const std::string& to, const std::string& context) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) ThrowErrno(errno, context, kErrorReadFault);
  struct stat st;
  ::fstat(in, &st);
  static std::atomic<unsigned> counter{0};
  const std::string temp = Parent(to) + "/:tmp-" + std::to_string(::getpid()) + "-c" +
                           std::to_string(counter.fetch_add(1));
  const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    const int err = errno;
    ::close(in);
    ThrowErrno(err, context, kErrorWriteFault);
  }
  int err = 0;
  for (;;) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (n > 0) continue;
    if (n == 0) break;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
      err = errno;
      break;
    }
    // No in-kernel copy here: plain reads and writes from where it stopped.
    char buffer[1 << 16];
    for (;;) {
      const ssize_t got = ::read(in, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        if (got < 0) err = errno;
        break;
      }
      ssize_t done = 0;
      while (done < got) {
        const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) {
          err = errno;
          break;
        }
        done += put;
      }
      if (err) break;
    }
    break;
  }
  ::fchmod(out, st.st_mode & 07777);
  ::close(in);
  if (::close(out) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), to.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    ThrowErrno(err, context, kErrorWriteFault);
  }
}

FileLock::FileLock(const std::string& lockFile) {
  fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) ThrowErrno(errno, lockFile, kErrorAccessDenied);
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const int err = errno;
      ::close(fd_);
      ThrowErrno(err, lockFile, kErrorAccessDenied);
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace nx::host
