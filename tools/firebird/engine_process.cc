#include "tools/firebird/engine_process.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace nx {

const char kFirebirdServerProgram[] = "/usr/sbin/firebird";
const char kIsqlProgram[] = "/usr/bin/isql-fb";

namespace {

namespace fs = std::filesystem;

// Where Debian's engine writes its log, whatever FIREBIRD says.
const char kSystemLogFolder[] = "/var/log/firebird";
const char kSystemLogFile[] = "/var/log/firebird/firebird3.0.log";

std::string ErrnoText(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

// The environment of an engine program: ours without anything that would point it at another
// root or log it in on its own, plus the three folders of root.
std::vector<std::string> EngineEnvironment(const std::string& root) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (name.rfind("FIREBIRD", 0) == 0 || name == "ISC_USER" || name == "ISC_PASSWORD") continue;
    env.push_back(entry);
  }
  env.push_back("FIREBIRD=" + root);
  env.push_back("FIREBIRD_LOCK=" + root + "/lock");
  env.push_back("FIREBIRD_TMP=" + root + "/tmp");
  return env;
}

std::vector<char*> CStrings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// In a freshly forked child: gives it a mount namespace of its own in which the system's log
// folder is the root's log folder, so the engine writes its log there. False when the kernel
// refuses (no privilege); the caller then falls back on SystemLogFallback.
bool RedirectSystemLog(const char* logFolder) {
  if (unshare(CLONE_NEWNS) != 0) return false;
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  return mount(logFolder, kSystemLogFolder, nullptr, MS_BIND, nullptr) == 0;
}

// Whether children of this process can have the log redirected; asked once.
bool CanRedirectSystemLog() {
  static std::once_flag once;
  static bool can = false;
  std::call_once(once, [] {
    struct stat st;
    if (stat(kSystemLogFolder, &st) != 0) return;  // nothing to protect, nothing to redirect
    std::string probe = fs::temp_directory_path().string();
    pid_t pid = fork();
    if (pid == 0) _exit(RedirectSystemLog(probe.c_str()) ? 0 : 1);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) can = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  });
  return can;
}

// Without a namespace, a root engine that finds the system's log missing creates it owned by
// root, and the system's own service can no longer write it. Creating it as its folder's owner
// (as the system's service would) keeps that service working; our lines then land in it.
void SystemLogFallback() {
  if (geteuid() != 0) return;  // an unprivileged engine cannot create it at all
  struct stat folder;
  if (stat(kSystemLogFolder, &folder) != 0) return;
  struct stat file;
  if (stat(kSystemLogFile, &file) == 0) return;
  int fd = open(kSystemLogFile, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0660);
  if (fd < 0) return;
  if (fchown(fd, folder.st_uid, folder.st_gid) != 0) {
    // Left owned by root: no worse than the engine itself would have done.
  }
  close(fd);
}

// The child side of every engine start; never returns.
[[noreturn]] void ExecEngine(const char* program, char* const argv[], char* const envp[],
                             const char* root, const char* logFolder, bool redirectLog, int in,
                             int out) {
  setsid();
  if (redirectLog) RedirectSystemLog(logFolder);
  if (chdir(root) != 0) _exit(126);
  if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) _exit(126);
  close_range(3, ~0U, 0);
  execve(program, argv, envp);
  _exit(127);
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool IsZombieOrGone(pid_t pid) {
  std::string stat = ReadWhole("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return true;
  char state = stat[close + 2];
  if (state != 'Z' && state != 'X') return false;
  // A leader that has ended while its other threads still go down shows as a zombie too, with
  // its sockets still open: gone only once it is the last one.
  std::error_code ec;
  int tasks = 0;
  for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    ++tasks;
  return tasks <= 1;
}

// Socket inodes listening on port, from one of /proc/net/tcp and /proc/net/tcp6.
void ListeningInodes(const char* table, uint16_t port, std::set<unsigned long>& inodes) {
  std::ifstream in(table);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::string slot, local, remote, state, queues, timer, retr, uid, timeout;
    unsigned long inode = 0;
    row >> slot >> local >> remote >> state >> queues >> timer >> retr >> uid >> timeout >> inode;
    if (state != "0A") continue;  // TCP_LISTEN
    size_t colon = local.rfind(':');
    if (colon == std::string::npos) continue;
    if (std::stoul(local.substr(colon + 1), nullptr, 16) == port) inodes.insert(inode);
  }
}

std::set<unsigned long> ListeningInodes(uint16_t port) {
  std::set<unsigned long> inodes;
  ListeningInodes("/proc/net/tcp", port, inodes);
  ListeningInodes("/proc/net/tcp6", port, inodes);
  return inodes;
}

int ThreadCount(pid_t pid) {
  std::string status = ReadWhole("/proc/" + std::to_string(pid) + "/status");
  size_t at = status.find("Threads:");
  return at == std::string::npos ? 0 : std::atoi(status.c_str() + at + 8);
}

// True when the process holds some listening TCP socket.
bool HoldsListeningSocket(pid_t pid) {
  std::set<unsigned long> inodes;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
      std::istringstream row(line);
      std::string slot, local, remote, state, queues, timer, retr, uid, timeout;
      unsigned long inode = 0;
      row >> slot >> local >> remote >> state >> queues >> timer >> retr >> uid >> timeout >> inode;
      if (state == "0A") inodes.insert(inode);
    }
  }
  std::error_code ec;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
    unsigned long inode = 0;
    if (std::sscanf(target.c_str(), "socket:[%lu]", &inode) == 1 && inodes.count(inode)) return true;
  }
  return false;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Ready: the main thread sleeps in poll() on the port and every other thread waits. A SIGTERM
// that reaches a server still settling is often refused by its engine (measured here: about one
// stop in four right after the port listened, one in thirty once settled), so a start is done
// only once the server has settled.
bool WaitsForConnections(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  int threads = 0;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
    std::string wchan = ReadWhole(task.path().string() + "/wchan");
    if (wchan.empty() || wchan == "0") return true;  // the kernel does not tell: do not wait for it
    bool main = task.path().filename() == std::to_string(pid);
    bool waits = main ? wchan.find("poll") != std::string::npos : wchan.find("futex") != std::string::npos;
    if (!waits) return false;
    ++threads;
  }
  return threads >= 3;
}

}  // namespace

void PrepareRuntimeFolders(const std::string& root) {
  std::error_code ec;
  for (const char* sub : {"lock", "tmp", "log"}) {
    fs::create_directories(fs::path(root) / sub, ec);
    if (ec) throw FirebirdError("cannot create " + (fs::path(root) / sub).string() + ": " + ec.message());
  }
}

uint64_t ProcessStartTime(pid_t pid) {
  if (pid <= 0) return 0;
  std::string stat = ReadWhole("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  // Field 3 (state) is the first after the name; the start time is field 22.
  for (int i = 3; i < 22; ++i) fields >> field;
  uint64_t start = 0;
  fields >> start;
  return start;
}

bool IsServerProcess(const ServerProcess& process) {
  if (process.pid <= 0 || process.startTime == 0) return false;
  if (ProcessStartTime(process.pid) != process.startTime) return false;
  if (IsZombieOrGone(process.pid)) return false;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/" + std::to_string(process.pid) + "/exe", ec);
  if (!ec) {
    // A replaced binary shows as "<path> (deleted)".
    std::string text = exe.string();
    return text.rfind(kFirebirdServerProgram, 0) == 0;
  }
  std::string comm = ReadWhole("/proc/" + std::to_string(process.pid) + "/comm");
  return comm == "firebird\n";
}

bool IsListening(pid_t pid, uint16_t port) {
  std::set<unsigned long> inodes = ListeningInodes(port);
  if (inodes.empty()) return false;
  std::string fdFolder = "/proc/" + std::to_string(pid) + "/fd";
  DIR* dir = opendir(fdFolder.c_str());
  if (!dir) return false;
  bool found = false;
  while (dirent* entry = readdir(dir)) {
    char target[64];
    std::string link = fdFolder + "/" + entry->d_name;
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = 0;
    unsigned long inode = 0;
    if (std::sscanf(target, "socket:[%lu]", &inode) == 1 && inodes.count(inode)) {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

bool PortListens(uint16_t port) { return !ListeningInodes(port).empty(); }

uint16_t FreeTcpPort() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw FirebirdError(ErrnoText("socket"));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    bool ok = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
    close(fd);
    if (!ok) throw FirebirdError(ErrnoText("bind 127.0.0.1:0"));
    uint16_t port = ntohs(addr.sin_port);
    // The event port is the next one: both must be free, and never the system instance's.
    if (port == 3050 || port == 3051 || port == 65535) continue;
    if (!PortListens(port) && !PortListens(port + 1)) return port;
  }
  throw FirebirdError("no free TCP port found");
}

std::string FileTail(const std::string& path, size_t maxBytes) {
  std::string text = ReadWhole(path);
  if (text.size() > maxBytes) text = "..." + text.substr(text.size() - maxBytes);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

ServerProcess StartServer(const std::string& root, uint16_t port,
                          std::chrono::milliseconds timeout) {
  if (port == 0) throw FirebirdError("no port for the server of " + root);
  if (PortListens(port))
    throw FirebirdError("TCP port " + std::to_string(port) + " is already in use; the server of " +
                        root + " cannot listen on it");
  PrepareRuntimeFolders(root);
  std::string logFolder = root + "/log";
  std::string outPath = logFolder + "/server.out";
  bool redirect = CanRedirectSystemLog();
  if (!redirect) SystemLogFallback();

  int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (in < 0 || out < 0) {
    std::string text = ErrnoText("cannot open " + outPath);
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    throw FirebirdError(text);
  }
  std::vector<std::string> envStrings = EngineEnvironment(root);
  std::vector<char*> envp = CStrings(envStrings);
  std::vector<std::string> argStrings = {"firebird"};
  std::vector<char*> argv = CStrings(argStrings);

  pid_t pid = fork();
  if (pid == 0)
    ExecEngine(kFirebirdServerProgram, argv.data(), envp.data(), root.c_str(), logFolder.c_str(),
               redirect, in, out);
  int forkErrno = errno;
  close(in);
  close(out);
  if (pid < 0) {
    errno = forkErrno;
    throw FirebirdError(ErrnoText("fork"));
  }
  ServerProcess process{pid, ProcessStartTime(pid)};

  auto logs = [&] {
    std::string text = FileTail(outPath);
    std::string engineLog = FileTail(logFolder + "/firebird3.0.log");
    if (!engineLog.empty()) text += (text.empty() ? "" : "\n") + engineLog;
    return text.empty() ? std::string() : "\n" + text;
  };
  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::chrono::steady_clock::time_point listeningSince;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      std::string how = WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                          : "signal " + std::to_string(WTERMSIG(status));
      throw FirebirdError("the Firebird server of " + root + " ended at start (" + how + ")" + logs());
    }
    if (IsListening(pid, port)) {
      // Settling is waited for a little only: a server that never looks settled still serves.
      auto now = std::chrono::steady_clock::now();
      if (listeningSince == std::chrono::steady_clock::time_point()) listeningSince = now;
      if (WaitsForConnections(pid) || now - listeningSince > std::chrono::seconds(1)) return process;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      throw FirebirdError("the Firebird server of " + root + " did not listen on port " +
                          std::to_string(port) + " within " + std::to_string(timeout.count()) +
                          " ms" + logs());
    }
    Pause(5);
  }
}

bool StopServer(const ServerProcess& process, std::chrono::milliseconds timeout) {
  if (!IsServerProcess(process)) {
    // Our own child that has ended already still needs reaping.
    if (process.pid > 0) waitpid(process.pid, nullptr, WNOHANG);
    return false;
  }
  auto gone = [&] {
    int status = 0;
    pid_t r = waitpid(process.pid, &status, WNOHANG);
    if (r == process.pid) return true;
    return ProcessStartTime(process.pid) != process.startTime || IsZombieOrGone(process.pid);
  };
  const int threadsAtStop = ThreadCount(process.pid);
  kill(process.pid, SIGTERM);
  auto start = std::chrono::steady_clock::now();
  auto deadline = start + timeout;
  while (!gone()) {
    auto now = std::chrono::steady_clock::now();
    // Now and then (about one idle server in thirty here) the engine's signal thread takes the
    // SIGTERM, refuses the shutdown and ends, leaving a server that still listens and no longer
    // hears signals: nothing but SIGKILL ends it then, so there is no point in waiting longer.
    bool deaf = now - start > std::chrono::seconds(1) && ThreadCount(process.pid) < threadsAtStop &&
                HoldsListeningSocket(process.pid);
    if (now > deadline || deaf) {
      kill(process.pid, SIGKILL);
      auto hard = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (!gone() && std::chrono::steady_clock::now() < hard) Pause(5);
      break;
    }
    Pause(5);
  }
  return true;
}

IsqlResult RunEmbeddedIsql(const std::string& root, const std::string& script) {
  PrepareRuntimeFolders(root);
  std::string logFolder = root + "/log";
  bool redirect = CanRedirectSystemLog();
  if (!redirect) SystemLogFallback();

  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) throw FirebirdError(ErrnoText("pipe"));
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    throw FirebirdError(ErrnoText("pipe"));
  }
  std::vector<std::string> envStrings = EngineEnvironment(root);
  std::vector<char*> envp = CStrings(envStrings);
  // -q: no banner; -b: stop at the first error with a non-zero exit code; -z off.
  std::vector<std::string> argStrings = {"isql-fb", "-q", "-b"};
  std::vector<char*> argv = CStrings(argStrings);

  pid_t pid = fork();
  if (pid == 0)
    ExecEngine(kIsqlProgram, argv.data(), envp.data(), root.c_str(), logFolder.c_str(), redirect,
               toChild[0], fromChild[1]);
  int forkErrno = errno;
  close(toChild[0]);
  close(fromChild[1]);
  if (pid < 0) {
    close(toChild[1]);
    close(fromChild[0]);
    errno = forkErrno;
    throw FirebirdError(ErrnoText("fork"));
  }

  // Feed and drain at once, so a long script and a talkative isql never block each other.
  IsqlResult result;
  size_t written = 0;
  int writeFd = toChild[1];
  fcntl(writeFd, F_SETFL, O_NONBLOCK);
  // An isql that stops early closes its end; that must not end this process.
  sigset_t pipeSignal, savedMask;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &savedMask);
  bool reading = true;
  if (script.empty()) {
    close(writeFd);
    writeFd = -1;
  }
  while (reading || writeFd >= 0) {
    pollfd fds[2];
    int n = 0;
    if (reading) fds[n++] = {fromChild[0], POLLIN, 0};
    if (writeFd >= 0) fds[n++] = {writeFd, POLLOUT, 0};
    if (poll(fds, n, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < n; ++i) {
      if (fds[i].fd == fromChild[0] && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
        char buffer[4096];
        ssize_t got = read(fromChild[0], buffer, sizeof buffer);
        if (got > 0)
          result.output.append(buffer, got);
        else if (got == 0 || errno != EINTR)
          reading = false;
      } else if (fds[i].fd == writeFd && fds[i].revents) {
        ssize_t put = (fds[i].revents & POLLOUT)
                          ? write(writeFd, script.data() + written, script.size() - written)
                          : -1;
        if (put > 0) written += put;
        if (put < 0 && errno == EAGAIN) continue;
        if (put < 0 || written == script.size()) {
          close(writeFd);
          writeFd = -1;
        }
      }
    }
  }
  if (writeFd >= 0) close(writeFd);
  close(fromChild[0]);
  timespec noWait{0, 0};
  while (sigtimedwait(&pipeSignal, nullptr, &noWait) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &savedMask, nullptr);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace nx
