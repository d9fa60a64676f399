#include "tests/e2e/e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/text.h"
#include "system/line_list.h"
#include "system/registry_access.h"
#include "tools/firebird/engine_process.h"
#include "tools/instsvc/service_instances.h"

extern char** environ;

namespace nx::e2e {

namespace fs = std::filesystem;
using namespace enginetest;

// --- Drive

Drive::Drive(const std::string& script, const std::string& fault) {
  const std::string file = dir_.Write("script.txt", script);
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string(*e).rfind("NXSETUP_FAULT=", 0) != 0) env.push_back(*e);
  }
  if (!fault.empty()) env.push_back("NXSETUP_FAULT=" + fault);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string program = std::string(NX_BIN_DIR) + "/nxdrive";
  std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const std::string out = dir_.path() + "/out", err = dir_.path() + "/err";
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int failed = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + program);
}

Drive::~Drive() {
  if (!done_) {
    Kill();
  }
}

void Drive::Kill() {
  if (done_) return;
  ::kill(pid_, SIGKILL);
  Wait(60);
}

void Drive::Wait(int timeoutSeconds) {
  if (done_) return;
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) break;
    if (std::chrono::steady_clock::now() > end) {
      ADD_FAILURE() << "nxdrive still running after " << timeoutSeconds << " s: killed";
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  done_ = true;
  exited_ = WIFEXITED(status);
  code_ = exited_ ? WEXITSTATUS(status) : -1;
  signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  out_ = ReadHostFile(dir_.path() + "/out");
  err_ = ReadHostFile(dir_.path() + "/err");
}

std::string Drive::Field(const std::string& name) const {
  const std::string key = "\n" + name + " = ";
  const size_t at = out_.rfind(key);
  if (at == std::string::npos) return "";
  const size_t begin = at + key.size();
  return out_.substr(begin, out_.find('\n', begin) - begin);
}

std::vector<std::string> Drive::Messages() const {
  std::vector<std::string> messages;
  const std::string prefix = "message: [Norvexa Setup.] ";
  std::istringstream in(out_);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::string text;
    for (size_t i = prefix.size(); i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'r') {
        text += '\r';
        ++i;
      } else {
        text += line[i];
      }
    }
    messages.push_back(text);
  }
  return messages;
}

// --- E2eTest

E2eTest::E2eTest() : port_(FreeTcpPort()) {}

E2eTest::~E2eTest() {
  form_.reset();
  StopEngines();
}

void E2eTest::StopEngines() {
  // By their records, never by name: only this machine's engines.
  ServiceInstances services(machine_.machine());
  for (const ServiceRegistration& r : services.All()) {
    try {
      services.Stop(r.name);
    } catch (const std::exception&) {
      // not running
    }
  }
}

void E2eTest::Medium(const std::string& name) {
  gen3_ = name != "gen25";
  const std::string folder = machine_.root() + "/medio-" + name;
  if (!fs::exists(folder)) CopyTree(SampleMedium(name), folder);
  machine_.MapDrive('D', folder);
}

TFInstalacion& E2eTest::Window() {
  form_.reset();
  form_ = std::make_unique<TFInstalacion>(operador_);
  form_->SetProgramFolder("D:\\");
  form_->FormCreate();
  form_->Activate();
  return *form_;
}

TFInstalacion& E2eTest::Install(bool server, bool workstation) {
  TFInstalacion& f = Window();
  f.puerto = port_;
  f.LPuerto.SetText(port());
  if (f.opciones.Checked(0) != server) f.opciones.ClickCheck(0);
  if (f.opciones.Checked(1) != workstation) f.opciones.ClickCheck(1);
  f.BComenzar.Click();
  return f;
}

std::vector<std::string> E2eTest::Log(const std::string& folder) {
  return LogLines(machine_.ReadFile(folder + "Install.log"));
}

std::vector<std::string> E2eTest::Lines(const std::string& windowsFile) {
  return LineList::Split(DecodeTextFile(machine_.ReadFile(windowsFile)));
}

std::string E2eTest::Reg(const std::string& key, const std::string& name) {
  return LeeRegistro(RegRoot::kLocalMachine, key, name);
}

std::map<std::string, std::string> E2eTest::Tree(const std::string& windowsFolder) {
  std::map<std::string, std::string> files;
  const fs::path root = machine_.HostPath(windowsFolder);
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string relative = fs::relative(it->path(), root).string();
    if (it->is_directory() && relative == "old") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file()) files[relative] = ReadHostFile(it->path().string());
  }
  return files;
}

std::map<std::string, std::string> E2eTest::DataFilesAtRest() {
  const std::string instsvc = "\"C:\\Norvexa\\firebird" + gen() + (gen3_ ? "" : "\\bin") + "\\instsvc\" ";
  EXPECT_EQ(0u, RunCommand(instsvc + "stop -n Norvexa" + gen()).exitCode);
  std::map<std::string, std::string> files;
  for (const auto& [name, bytes] : Tree("C:\\Norvexa\\DataBase")) files[name] = bytes;
  EXPECT_EQ(0u, RunCommand(instsvc + "start -n Norvexa" + gen()).exitCode);
  return files;
}

::testing::AssertionResult E2eTest::TextFilesWhole(bool engineFolder) {
  std::string problems;
  auto lineList = [&](const std::string& windowsFile) {
    if (!machine_.Exists(windowsFile)) return;
    const std::string bytes = machine_.ReadFile(windowsFile);
    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)
      problems += windowsFile + " does not end with a whole line\n";
  };
  if (engineFolder) {
    lineList(aliasFile());
    lineList("C:\\Norvexa\\firebird" + gen() + "\\firebird.conf");
  }
  lineList("C:\\Norvexa\\UnInstall.dat");
  lineList("C:\\Norvexa\\Install.log");
  // The host names are joined by the copy tool (which may end them with its end-of-file mark):
  // the system's own names must still be there, whole.
  if (machine_.ReadFile("C:\\Windows\\System32\\drivers\\etc\\hosts").find("127.0.0.1       localhost\r\n") ==
      std::string::npos)
    problems += "hosts lost the system's names\n";
  if (machine_.Exists("C:\\Norvexa\\UnInstall.dat") &&
      Lines("C:\\Norvexa\\UnInstall.dat").front() != "[Norvexa UnInstall]")
    problems += "UnInstall.dat lost its header\n";
  const std::string registry = ReadHostFile(machine_.root() + "/registry.txt");
  if (registry.size() < 6 || registry.compare(registry.size() - 6, 6, "; end\n") != 0)
    problems += "the registry file is cut\n";
  if (problems.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << problems;
}

::testing::AssertionResult E2eTest::EveryDatabaseOpens() {
  std::string problems;
  int opened = 0;
  for (const std::string& line : Lines(aliasFile())) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || line.find("Database\\") == std::string::npos) continue;
    const std::string alias = line.substr(0, eq);
    const std::string file = line.substr(eq + 1);
    if (!machine_.Exists(file)) continue;  // the sample-data alias when its file is not there
    try {
      // A read of every table's record count walks the data pages, not only the header.
      for (const std::string& table :
           Query(port_, alias, "select trim(rdb$relation_name) from rdb$relations where rdb$system_flag = 0", "SYSDBA"))
        Query(port_, alias, "select count(*) from \"" + table + "\"", "SYSDBA");
      ++opened;
    } catch (const std::exception& e) {
      problems += alias + " does not open: " + e.what() + "\n";
    }
  }
  if (opened == 0) problems += "no database opened\n";
  if (problems.empty()) return ::testing::AssertionSuccess() << opened << " opened";
  return ::testing::AssertionFailure() << problems;
}

}  // namespace nx::e2e
