#include "bench/dbupdate/engine_tool.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "dbupdate/password.h"
#include "tools/firebird/engine_process.h"

extern char** environ;

namespace nx::bench {

double RunEngineTool(std::vector<std::string> args) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  env.push_back("ISC_USER=NORVEXA");
  env.push_back("ISC_PASSWORD=" + nx::ProductPassword());
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double elapsed = Milliseconds(std::chrono::steady_clock::now() - start);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", args[0].c_str());
    std::exit(1);
  }
  return elapsed;
}

double RunIsql(const std::string& database, const std::string& scriptPath) {
  return RunEngineTool({nx::kIsqlProgram, "-q", "-ch", "ISO8859_1", "-bail", "-i", scriptPath, database});
}

}  // namespace nx::bench
