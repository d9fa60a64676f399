#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/command_line.h"
#include "platform/error.h"
#include "platform/hosted_parts.h"
#include "platform/posix_error.h"
#include "platform/process_internal.h"
#include "platform/text.h"

extern char** environ;

namespace nx {

namespace {

constexpr const char* kExitFdVariable = "NXSETUP_EXIT_FD";

// NXSETUP_CMDLINE and the exit-code channel belong to this process alone: taken at start-up and
// removed from the environment (the channel closed on exec), so that a grandchild started by
// other means never reads a stale line or reports into its grandparent's channel.
struct CapturedLine {
  CapturedLine() {
    if (const char* line = std::getenv("NXSETUP_CMDLINE")) {
      present = true;
      text = line;
      ::unsetenv("NXSETUP_CMDLINE");
    }
    if (const char* fd = std::getenv(kExitFdVariable)) {
      char* stop = nullptr;
      const long n = std::strtol(fd, &stop, 10);
      if (*stop == '\0' && n > 2 && ::fcntl(static_cast<int>(n), F_SETFD, FD_CLOEXEC) == 0) exitFd = static_cast<int>(n);
      ::unsetenv(kExitFdVariable);
    }
  }
  bool present = false;
  std::string text;
  int exitFd = -1;
};

CapturedLine& Captured() {
  static CapturedLine captured;
  return captured;
}

// Runs before main in every program holding the machine.
[[maybe_unused]] const bool kCapturedAtStart = (Captured(), true);

constexpr const char* kSystemFolder = "C:\\Windows\\System32";
constexpr const char* kWindowsFolder = "C:\\Windows";

struct Program {
  std::string windows;
  std::string host;
};

bool HasExtension(const std::string& name) {
  const size_t sep = name.find_last_of("\\/:");
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && (sep == std::string::npos || dot > sep);
}

std::string ExtensionFolded(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t sep = path.find_last_of("\\/");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return "";
  return FoldCase(path.substr(dot));
}

bool IsRegularFile(const std::string& host) {
  struct stat st;
  return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::optional<std::string> CapturedCommandLine() {
  CapturedLine& c = Captured();
  if (!c.present) return std::nullopt;
  return c.text;
}

void ReportExitCode(uint32_t code) {
  const int fd = Captured().exitFd;
  if (fd < 0) return;
  ssize_t ignored = ::write(fd, &code, sizeof code);
  (void)ignored;
}

uint32_t ExitCodeFromStatus(int status) {
  if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
  if (!WIFSIGNALED(status)) return 1;
  switch (WTERMSIG(status)) {
    case SIGSEGV:
    case SIGBUS: return 0xC0000005;  // STATUS_ACCESS_VIOLATION
    case SIGILL: return 0xC000001D;  // STATUS_ILLEGAL_INSTRUCTION
    case SIGFPE: return 0xC0000094;  // STATUS_INTEGER_DIVIDE_BY_ZERO
    case SIGABRT: return 0xC0000409;  // STATUS_STACK_BUFFER_OVERRUN: what a fail-fast abort gives
    case SIGINT: return 0xC000013A;  // STATUS_CONTROL_C_EXIT
    default: return 1;  // killed from outside: TerminateProcess(process, 1)
  }
}

HostedProcessRunner::HostedProcessRunner(const MachineFacts& facts, DriveMap& drives, Environment& environment)
    : facts_(facts), drives_(drives), environment_(environment) {}

namespace {

struct Launch {
  bool ok = false;
  uint32_t error = kErrorFileNotFound;
  std::string host;                 // the file to run
  std::string commandLine;          // what the child is told it was started with
  std::vector<std::string> argv;    // CommandLineToArgvW of commandLine
};

std::optional<Program> FindIn(const DriveMap& drives, const std::string& folder, const std::string& name) {
  try {
    const std::string path = folder + (folder.empty() || folder.back() == '\\' ? "" : "\\") + name;
    const ResolvedPath r = drives.Resolve(path);
    if (IsRegularFile(r.host)) return Program{r.windows, r.host};
  } catch (const OsError&) {
  }
  return std::nullopt;
}

// SearchPath with ".exe" as default extension, in CreateProcessW's order. On failure, error
// tells a missing folder (a name with a path) from a missing file.
std::optional<Program> SearchProgram(const DriveMap& drives, Environment& environment, const std::string& token,
                                     uint32_t& error) {
  std::string name = token;
  if (!HasExtension(name)) name += ".exe";
  error = kErrorFileNotFound;
  if (name.find_first_of("\\/:") != std::string::npos) {
    try {
      const ResolvedPath r = drives.Resolve(name);
      if (IsRegularFile(r.host)) return Program{r.windows, r.host};
      if (!host::IsDirectory(host::Parent(r.host))) error = kErrorPathNotFound;
    } catch (const OsError& e) {
      error = e.code() == kErrorInvalidName ? kErrorInvalidName : kErrorPathNotFound;
    }
    return std::nullopt;
  }
  std::vector<std::string> folders;
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) {
    self[length] = '\0';
    if (std::optional<std::string> own = drives.WindowsPath(host::Parent(self))) folders.push_back(*own);
  }
  if (std::optional<WindowsPathParts> cwd = drives.CurrentFolder()) folders.push_back(cwd->Text());
  folders.push_back(kSystemFolder);
  folders.push_back(kWindowsFolder);
  if (std::optional<std::string> path = environment.Get("PATH")) {
    size_t pos = 0;
    while (pos <= path->size()) {
      size_t next = path->find(';', pos);
      if (next == std::string::npos) next = path->size();
      std::string entry = path->substr(pos, next - pos);
      pos = next + 1;
      entry.erase(std::remove(entry.begin(), entry.end(), '"'), entry.end());
      while (!entry.empty() && IsBlank(entry.front())) entry.erase(entry.begin());
      while (!entry.empty() && IsBlank(entry.back())) entry.pop_back();
      if (!entry.empty()) folders.push_back(entry);
    }
  }
  for (const std::string& folder : folders) {
    if (std::optional<Program> p = FindIn(drives, folder, name)) return p;
  }
  return std::nullopt;
}

Launch Prepare(const DriveMap& drives, Environment& environment, const std::string& commandLine) {
  Launch launch;
  // Windows counts the limit in UTF-16 units; bytes would refuse accented lines it accepts.
  if (commandLine.size() > kMaxCommandLine && Utf8ToUtf16(commandLine).size() > kMaxCommandLine) {
    launch.error = kErrorFilenameExcedRange;
    return launch;
  }
  size_t start = 0;
  while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
  if (start == commandLine.size()) {
    launch.error = kErrorFileNotFound;
    return launch;
  }
  // Candidates for the program: the quoted name; or, unquoted, the text up to each blank in turn
  // ("C:\Program Files\x.exe" is tried as "C:\Program" first), as CreateProcessW does.
  std::vector<std::string> candidates;
  if (commandLine[start] == '"') {
    const size_t close = commandLine.find('"', start + 1);
    candidates.push_back(commandLine.substr(start + 1, (close == std::string::npos ? commandLine.size() : close) - start - 1));
  } else {
    for (size_t k = start; k <= commandLine.size(); ++k) {
      if (k == commandLine.size() || IsBlank(commandLine[k])) {
        if (k > start && !IsBlank(commandLine[k - 1])) candidates.push_back(commandLine.substr(start, k - start));
      }
    }
  }
  std::optional<Program> program;
  launch.error = 0;
  for (const std::string& candidate : candidates) {
    if (candidate.empty()) continue;
    uint32_t error = kErrorFileNotFound;
    program = SearchProgram(drives, environment, candidate, error);
    if (program) break;
    if (launch.error == 0) launch.error = error;  // the first name's failure is the one reported
  }
  if (!program) {
    if (launch.error == 0) launch.error = kErrorFileNotFound;
    return launch;
  }
  launch.commandLine = commandLine;
  const std::string extension = ExtensionFolded(program->windows);
  if (extension == ".BAT" || extension == ".CMD") {
    // A batch file runs in the command interpreter, given the whole line.
    std::optional<Program> cmd = FindIn(drives, kSystemFolder, "cmd.exe");
    if (!cmd) {
      launch.error = kErrorFileNotFound;
      return launch;
    }
    launch.commandLine = cmd->windows + " /c " + commandLine;
    program = cmd;
  }
  launch.host = program->host;
  launch.argv = SplitCommandLine(launch.commandLine);
  launch.ok = true;
  return launch;
}

struct ChildSetup {
  std::vector<std::string> storage;
  std::vector<char*> argv;
  std::vector<char*> envp;
};

void BuildChild(ChildSetup& setup, const Launch& launch, const std::string& root, uint16_t showMode, int exitFd) {
  for (const std::string& a : launch.argv) setup.storage.push_back(a);
  if (setup.storage.empty()) setup.storage.push_back(launch.host);
  const size_t argc = setup.storage.size();
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, "NXSETUP_MACHINE=", 16) == 0 || std::strncmp(*e, "NXSETUP_CMDLINE=", 16) == 0 ||
        std::strncmp(*e, "NXSETUP_SHOW=", 13) == 0 || std::strncmp(*e, "NXSETUP_EXIT_FD=", 16) == 0) {
      continue;
    }
    setup.storage.push_back(*e);
  }
  setup.storage.push_back("NXSETUP_MACHINE=" + root);
  setup.storage.push_back("NXSETUP_CMDLINE=" + launch.commandLine);
  setup.storage.push_back("NXSETUP_SHOW=" + std::to_string(showMode));
  if (exitFd >= 0) setup.storage.push_back(std::string(kExitFdVariable) + "=" + std::to_string(exitFd));
  for (size_t k = 0; k < setup.storage.size(); ++k) {
    (k < argc ? setup.argv : setup.envp).push_back(setup.storage[k].data());
  }
  setup.argv.push_back(nullptr);
  setup.envp.push_back(nullptr);
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecChild(const char* program, const ChildSetup& setup, const char* folder, int reportFd,
                            int exitFd) {
  struct sigaction dfl;
  std::memset(&dfl, 0, sizeof dfl);
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < 32; ++sig) {
    if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &dfl, nullptr);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  const int null = ::open("/dev/null", O_RDONLY);
  if (null >= 0 && null != 0) {
    ::dup2(null, 0);
    ::close(null);
  }
  if (exitFd >= 0) ::fcntl(exitFd, F_SETFD, 0);  // the one descriptor the program keeps
  int err = 0;
  if (folder != nullptr && ::chdir(folder) != 0) {
    err = -errno;  // negative: the folder, not the program
  } else {
    ::execve(program, setup.argv.data(), setup.envp.data());
    err = errno;
  }
  ssize_t ignored = ::write(reportFd, &err, sizeof err);
  (void)ignored;
  ::_exit(127);
}

uint32_t StartError(int err) {
  if (err < 0) return kErrorDirectory;
  switch (err) {
    case ENOEXEC: return kErrorBadExeFormat;
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case ENOENT: return kErrorFileNotFound;
    case E2BIG: return kErrorFilenameExcedRange;
    default: return WinErrorFromErrno(err, kErrorAccessDenied);
  }
}

// Reads what the child reported: 0 when exec succeeded (the pipe closed on exec).
int ReadReport(int fd) {
  int err = 0;
  for (;;) {
    const ssize_t got = ::read(fd, &err, sizeof err);
    if (got < 0 && errno == EINTR) continue;
    if (got != static_cast<ssize_t>(sizeof err)) err = 0;
    break;
  }
  ::close(fd);
  return err;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

}  // namespace

ProcessResult HostedProcessRunner::RunAndWait(const std::string& commandLine, uint16_t showMode) {
  ProcessResult result;
  const Launch launch = Prepare(drives_, environment_, commandLine);
  if (!launch.ok) {
    result.error = launch.error;
    return result;
  }
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    result.error = WinErrorFromErrno(errno, kErrorNotEnoughMemory);
    return result;
  }
  // The whole exit code comes back through its own pipe (see ExitProgram).
  int exitChannel[2];
  if (::pipe2(exitChannel, O_CLOEXEC | O_NONBLOCK) != 0) {
    result.error = WinErrorFromErrno(errno, kErrorNotEnoughMemory);
    ::close(report[0]);
    ::close(report[1]);
    return result;
  }
  ChildSetup setup;
  BuildChild(setup, launch, facts_.root, showMode, exitChannel[1]);
  const pid_t pid = ::fork();
  if (pid < 0) {
    result.error = WinErrorFromErrno(errno, kErrorNotEnoughMemory);
    for (int fd : {report[0], report[1], exitChannel[0], exitChannel[1]}) ::close(fd);
    return result;
  }
  if (pid == 0) {
    ::close(report[0]);
    ::close(exitChannel[0]);
    ExecChild(launch.host.c_str(), setup, nullptr, report[1], exitChannel[1]);
  }
  ::close(report[1]);
  ::close(exitChannel[1]);
  const int err = ReadReport(report[0]);
  const int status = WaitFor(pid);
  uint32_t reported = 0;
  const bool haveReport = ::read(exitChannel[0], &reported, sizeof reported) == static_cast<ssize_t>(sizeof reported);
  ::close(exitChannel[0]);
  if (err != 0) {
    result.error = StartError(err);
    return result;
  }
  result.started = true;
  result.exitCode = status < 0 ? 1 : ExitCodeFromStatus(status);
  // Trusted only when it agrees with what the kernel saw: a program that reported and then
  // crashed ends with the crash.
  if (haveReport && status >= 0 && WIFEXITED(status) && (reported & 0xFF) == static_cast<uint32_t>(WEXITSTATUS(status))) {
    result.exitCode = reported;
  }
  return result;
}

bool HostedProcessRunner::Start(const std::string& commandLine, uint16_t showMode, const std::string& folder) {
  const Launch launch = Prepare(drives_, environment_, commandLine);
  if (!launch.ok) return false;
  std::string hostFolder;
  if (!folder.empty()) {
    try {
      hostFolder = drives_.Resolve(folder).host;
    } catch (const OsError&) {
      return false;
    }
    if (!host::IsDirectory(hostFolder)) return false;
  }
  ChildSetup setup;
  BuildChild(setup, launch, facts_.root, showMode, -1);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  // Started twice over: the middle process ends at once, so the program is nobody's child here
  // and leaves no zombie behind, while the pipe still tells whether it started.
  const pid_t middle = ::fork();
  if (middle < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (middle == 0) {
    ::close(report[0]);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ExecChild(launch.host.c_str(), setup, hostFolder.empty() ? nullptr : hostFolder.c_str(), report[1], -1);
    }
    ::_exit(pid < 0 ? 1 : 0);
  }
  ::close(report[1]);
  const int err = ReadReport(report[0]);
  const int status = WaitFor(middle);
  return err == 0 && status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace nx
