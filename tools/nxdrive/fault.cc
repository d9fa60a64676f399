#include "tools/nxdrive/fault.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "platform/platform.h"
#include "platform/text.h"

namespace nx::drive {

namespace {

enum class Kind { kWrite, kMove, kRun };

[[noreturn]] void KillGroup() {
  // The whole group: this program and the copy it waits for; the engine runs in a session of
  // its own and lives on, as a service would. A group this program does not lead (it could not
  // make its own) is its parent's: then only itself.
  ::kill(::getpgrp() == ::getpid() ? 0 : ::getpid(), SIGKILL);
  ::_exit(137);
}

struct Countdown {
  Kind kind;
  int left;
  std::string text;

  // True when this call is the one to fire on.
  bool Fires(Kind k, const std::string& subject) {
    if (k != kind || left <= 0) return false;
    if (!text.empty() && FoldCase(subject).find(FoldCase(text)) == std::string::npos) return false;
    return --left == 0;
  }
};

class FaultFiles final : public FileSystem {
 public:
  FaultFiles(FileSystem& real, Countdown& countdown) : real_(real), countdown_(countdown) {}
  bool FileExists(const std::string& p) override { return real_.FileExists(p); }
  bool DirectoryExists(const std::string& p) override { return real_.DirectoryExists(p); }
  uint32_t GetAttributes(const std::string& p) override { return real_.GetAttributes(p); }
  void SetAttributes(const std::string& p, uint32_t a) override { real_.SetAttributes(p, a); }
  void CreateDirectories(const std::string& p) override { real_.CreateDirectories(p); }
  void RemoveDirectory(const std::string& p) override { real_.RemoveDirectory(p); }
  void CopyFile(const std::string& f, const std::string& t, bool e) override { real_.CopyFile(f, t, e); }
  void DeleteFile(const std::string& p) override { real_.DeleteFile(p); }
  void MoveFile(const std::string& from, const std::string& to) override {
    if (countdown_.Fires(Kind::kMove, from + "\n" + to)) KillGroup();
    real_.MoveFile(from, to);
  }
  std::vector<FoundFile> FindFiles(const std::string& p) override { return real_.FindFiles(p); }
  std::string ReadFile(const std::string& p) override { return real_.ReadFile(p); }
  void WriteFile(const std::string& path, const std::string& bytes) override {
    if (countdown_.Fires(Kind::kWrite, path)) KillGroup();
    real_.WriteFile(path, bytes);
  }
  void AppendFile(const std::string& p, const std::string& b) override { real_.AppendFile(p, b); }
  std::string NativePath(const std::string& p) override { return real_.NativePath(p); }

 private:
  FileSystem& real_;
  Countdown& countdown_;
};

// The text of the last double-quoted part of a command line; empty when it has none.
std::string LastQuoted(const std::string& line) {
  const size_t close = line.rfind('"');
  if (close == std::string::npos || close == 0) return "";
  const size_t open = line.rfind('"', close - 1);
  if (open == std::string::npos) return "";
  return line.substr(open + 1, close - open - 1);
}

class FaultProcesses final : public ProcessRunner {
 public:
  FaultProcesses(ProcessRunner& real, FileSystem& files, Countdown& countdown)
      : real_(real), files_(files), countdown_(countdown) {}

  ProcessResult RunAndWait(const std::string& commandLine, uint16_t showMode) override {
    if (!countdown_.Fires(Kind::kRun, commandLine)) return real_.RunAndWait(commandLine, showMode);
    std::string destination;
    try {
      destination = files_.NativePath(LastQuoted(commandLine));
    } catch (const std::exception&) {
    }
    std::atomic<bool> ended{false};
    std::thread command([&] {
      real_.RunAndWait(commandLine, showMode);
      ended = true;
    });
    namespace fs = std::filesystem;
    for (;;) {
      std::error_code e;
      if (ended) break;
      if (!destination.empty() && fs::is_directory(destination, e) &&
          fs::directory_iterator(destination, e) != fs::directory_iterator())
        break;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    KillGroup();
  }
  bool Start(const std::string& c, uint16_t s, const std::string& f) override { return real_.Start(c, s, f); }

 private:
  ProcessRunner& real_;
  FileSystem& files_;
  Countdown& countdown_;
};

class ArmedFault final : public FaultScope {
 public:
  ArmedFault(Countdown countdown)
      : countdown_(std::move(countdown)),
        files_(*CurrentPlatform().files, countdown_),
        processes_(*CurrentPlatform().processes, *CurrentPlatform().files, countdown_),
        scope_(Platform{.files = &files_, .processes = &processes_}) {}

 private:
  Countdown countdown_;
  FaultFiles files_;
  FaultProcesses processes_;
  ScopedPlatform scope_;
};

}  // namespace

std::unique_ptr<FaultScope> ArmFaultFromEnvironment() {
  const char* value = std::getenv("NXSETUP_FAULT");
  if (value == nullptr || *value == '\0') return nullptr;
  const std::string spec = value;
  const size_t first = spec.find(':');
  const size_t second = first == std::string::npos ? std::string::npos : spec.find(':', first + 1);
  const std::string kind = spec.substr(0, first);
  const std::string count =
      first == std::string::npos ? "" : spec.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  Countdown countdown{Kind::kWrite, 0, second == std::string::npos ? "" : spec.substr(second + 1)};
  if (kind == "write") {
    countdown.kind = Kind::kWrite;
  } else if (kind == "move") {
    countdown.kind = Kind::kMove;
  } else if (kind == "run") {
    countdown.kind = Kind::kRun;
  } else {
    throw std::invalid_argument("NXSETUP_FAULT: unknown kind \"" + kind + "\" (write, move, run)");
  }
  char* end = nullptr;
  const long n = std::strtol(count.c_str(), &end, 10);
  if (count.empty() || *end != '\0' || n < 1 || n > 1000000)
    throw std::invalid_argument("NXSETUP_FAULT: \"" + spec + "\": the count must be a number from 1");
  countdown.left = static_cast<int>(n);
  // A group of its own, so that the kill takes the commands it waits for and nothing else.
  ::setpgid(0, 0);
  return std::make_unique<ArmedFault>(std::move(countdown));
}

}  // namespace nx::drive
