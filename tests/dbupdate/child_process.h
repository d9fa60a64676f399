#pragma once
// A child process talked to through its stdin and stdout, one line at a time.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace nx {

class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int failed = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
    to_ = fdopen(in[1], "w");
    from_ = fdopen(out[0], "r");
  }
  ~ChildProcess() {
    if (to_ != nullptr) fclose(to_);  // end of stdin ends the helper
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) kill(pid_, SIGKILL);
    if (from_ != nullptr) fclose(from_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }

  // One line of its output, without the line end; "<eof>" when it has ended.
  std::string ReadLine() {
    std::string line;
    for (int c; (c = fgetc(from_)) != EOF && c != '\n';) line += static_cast<char>(c);
    return line.empty() && feof(from_) ? "<eof>" : line;
  }
  std::string Ask(const std::string& command) {
    fputs((command + "\n").c_str(), to_);
    fflush(to_);
    return ReadLine();
  }

 private:
  pid_t pid_ = 0;
  FILE* to_ = nullptr;
  FILE* from_ = nullptr;
};

}  // namespace nx
