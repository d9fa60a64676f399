// bench-install: a full server and workstation installation of the sample medium (generation 3)
// through the window's driver on fresh hosted machines, the schema synchronisation's fixed pauses
// recorded instead of waited. Prints the median wall time, where it goes by command family, and
// the installation's copies of the medium against cp -r of the same medium, in the same run.
//
//   bench-install [--runs R]

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/FInstall.h"
#include "app/operator.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"
#include "tools/firebird/engine_process.h"
#include "tools/instsvc/service_instances.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

double Seconds(Steady::duration d) { return std::chrono::duration<double>(d).count(); }

// The family of a command line: what the time of a step goes to.
std::string Family(const std::string& line) {
  if (line.rfind("cmd /c xcopy", 0) == 0) return "xcopy";
  if (line.rfind("cmd /c copy", 0) == 0) return "copy";
  for (const char* tool : {"instsvc", "instclient", "msiexec", "netsh", "actualizador2"})
    if (line.find(tool) != std::string::npos) return tool;
  return "other";
}

class TimingRunner : public nx::ProcessRunner {
 public:
  explicit TimingRunner(nx::ProcessRunner& real) : real_(real) {}
  nx::ProcessResult RunAndWait(const std::string& line, uint16_t show) override {
    const auto start = Steady::now();
    nx::ProcessResult r = real_.RunAndWait(line, show);
    spent[Family(line)] += Seconds(Steady::now() - start);
    ++count[Family(line)];
    return r;
  }
  bool Start(const std::string& line, uint16_t show, const std::string& folder) override {
    return real_.Start(line, show, folder);
  }
  std::map<std::string, double> spent;
  std::map<std::string, int> count;

 private:
  nx::ProcessRunner& real_;
};

class NoPauses : public nx::Clock {
 public:
  explicit NoPauses(nx::Clock& real) : real_(real) {}
  nx::LocalTime Now() override { return real_.Now(); }
  std::string FormatShortDate(const nx::LocalTime& t) override { return real_.FormatShortDate(t); }
  std::string FormatLongTime(const nx::LocalTime& t) override { return real_.FormatLongTime(t); }
  void Sleep(int ms) override { skipped += ms; }
  int skipped = 0;

 private:
  nx::Clock& real_;
};

class Silent : public nx::Operator {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  nx::Answer AskYesNo(const std::string&, const std::string&) override { return nx::Answer::kYes; }
  nx::Answer AskYesNoCancel(const std::string&, const std::string&) override { return nx::Answer::kYes; }
  std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
  std::vector<std::string> messages;
};

double CpR(const std::string& from, const std::string& to) {
  const auto start = Steady::now();
  pid_t pid;
  const char* argv[] = {"cp", "-r", from.c_str(), to.c_str(), nullptr};
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  int status;
  waitpid(pid, &status, 0);
  return Seconds(Steady::now() - start);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
  const std::string medium = std::string(NX_MEDIUM_DIR) + "/gen3";

  std::vector<double> walls, copies, baselines;
  std::map<std::string, double> spent;
  std::map<std::string, int> count;
  int skipped = 0;
  for (int run = 0; run < runs; ++run) {
    nx::ScratchMachine machine;
    fs::copy(medium, machine.root() + "/medio", fs::copy_options::recursive);
    machine.MapDrive('D', machine.root() + "/medio");
    TimingRunner runner(*machine.platform().processes);
    NoPauses clock(*machine.platform().clock);
    nx::Platform replaced;
    replaced.processes = &runner;
    replaced.clock = &clock;
    nx::ScopedPlatform scope(replaced);

    Silent operador;
    nx::TFInstalacion form(operador);
    form.SetProgramFolder("D:\\");
    form.FormCreate();
    form.PathActual = "D:\\";
    form.Path.SetText("C:\\Norvexa\\");
    form.puerto = nx::FreeTcpPort();
    form.LPuerto.SetText(std::to_string(form.puerto));
    form.CheckInicio.SetChecked(true);

    const auto start = Steady::now();
    form.BComenzar.Click();
    walls.push_back(Seconds(Steady::now() - start));
    if (operador.messages.size() != 1 || operador.messages[0].rfind("Instalación Terminada.", 0) != 0) {
      std::fprintf(stderr, "the installation did not succeed: %s\n",
                   operador.messages.empty() ? "(no message)" : operador.messages.back().c_str());
      return 1;
    }
    copies.push_back(runner.spent["xcopy"] + runner.spent["copy"]);
    for (const auto& [family, seconds] : runner.spent) spent[family] += seconds / runs;
    count = runner.count;
    skipped += clock.skipped;
    nx::ServiceInstances services(machine.machine());
    for (const nx::ServiceRegistration& r : services.All()) services.Stop(r.name);
    baselines.push_back(CpR(medium, machine.root() + "/cp-copia"));
  }

  const double wall = Median(walls), copy = Median(copies), cp = Median(baselines);
  std::printf("full installation (server + workstation), median of %d: %.2f s (goal < 5 s); "
              "pauses not waited: %.1f s per run\n",
              runs, wall, skipped / 1000.0 / runs);
  double commands = 0;
  for (const auto& [family, seconds] : spent) {
    std::printf("  %-14s %6.2f s in %d commands\n", family.c_str(), seconds, count[family]);
    commands += seconds;
  }
  std::printf("  %-14s %6.2f s (log, registry, text files, synchronisation)\n", "in process", wall - commands);
  // The installation copies some folders twice (dll, fuentes, the update database) and each copy
  // is a command interpreter and a copy tool started anew: the ratio carries both.
  std::printf("copies of the medium: %.3f s in %d commands; cp -r of the medium: %.3f s; ratio %.2f\n", copy,
              count["xcopy"] + count["copy"], cp, copy / cp);
  return 0;
}
