// instsvc.exe of the hosted machine: registers, starts, stops and removes the engine's service
// instances, each a real private Firebird 3 server configured by the engine folder it was
// registered from. Commands and switches as the engine's own tool takes them, abbreviations
// included:
//   instsvc i[nstall] [-a[uto] | -d[emand]] [-g[uardian]] [-s | -c | -m] [-l user [pass]] [-n name]
//   instsvc sta[rt] [-b] [-n name]      instsvc sto[p] [-n name]
//   instsvc r[emove] [-n name]          instsvc q[uery]
// Stopping a stopped or absent instance and removing an absent one end with 0; so does starting
// a running one. Removing a running instance fails: stop it first.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/program.h"
#include "platform/text.h"
#include "tools/instsvc/service_instances.h"

namespace {

const char kDefaultInstance[] = "DefaultInstance";

// The engine's tool takes a word when it is a prefix of the command of at least its minimum length.
bool Abbreviates(const std::string& word, const std::string& command, size_t minimum) {
  std::string folded = nx::FoldCase(word);
  std::string full = nx::FoldCase(command);
  return folded.size() >= minimum && folded.size() <= full.size() && full.compare(0, folded.size(), folded) == 0;
}

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "instsvc: %s\n"
               "Usage:\n"
               "  instsvc i[nstall] [ -a[uto]* | -d[emand] ] [ -g[uardian] ] [ -n[ame] instance ]\n"
               "  instsvc sta[rt] [ -n[ame] instance ]\n"
               "  instsvc sto[p] [ -n[ame] instance ]\n"
               "  instsvc q[uery]\n"
               "  instsvc r[emove] [ -n[ame] instance ]\n",
               problem.c_str());
  return 1;
}

std::string Display(const std::string& name) { return "\"Firebird Server - " + name + "\""; }

int Query(nx::ServiceInstances& services) {
  std::vector<nx::ServiceRegistration> all = services.All();
  if (all.empty()) std::printf("No Firebird service instance is installed.\n");
  for (const nx::ServiceRegistration& registration : all) {
    nx::ServiceStatus status = services.Status(registration);
    std::printf("Firebird Server - %s IS %s\n  Path : %s\n", registration.name.c_str(),
                status.running ? "RUNNING" : "STOPPED", registration.engineFolder.c_str());
    if (status.running) std::printf("  Pid  : %d, port %u\n", status.process.pid, status.port);
  }
  return 0;
}

}  // namespace

int main() {
  try {
    std::vector<std::string> words = nx::SplitCommandLine(nx::ProgramCommandLine());
    if (words.size() < 2) return Usage("no command given");
    const std::string command = words[1];
    enum { kInstall, kRemove, kStart, kStop, kQuery } action;
    if (Abbreviates(command, "install", 1)) action = kInstall;
    else if (Abbreviates(command, "remove", 1)) action = kRemove;
    else if (Abbreviates(command, "start", 3)) action = kStart;
    else if (Abbreviates(command, "stop", 3)) action = kStop;
    else if (Abbreviates(command, "query", 1)) action = kQuery;
    else return Usage("unknown command \"" + command + "\"");

    nx::ServiceRegistration registration;
    registration.name = kDefaultInstance;
    for (size_t i = 2; i < words.size(); ++i) {
      const std::string& word = words[i];
      if (word.size() < 2 || (word[0] != '-' && word[0] != '/'))
        return Usage("unexpected argument \"" + word + "\"");
      std::string option = word.substr(1);
      if (Abbreviates(option, "name", 1)) {
        if (++i == words.size()) return Usage("-n needs an instance name");
        registration.name = words[i];
      } else if (Abbreviates(option, "auto", 1)) {
        registration.autoStart = true;
      } else if (Abbreviates(option, "demand", 1)) {
        registration.autoStart = false;
      } else if (Abbreviates(option, "guardian", 1)) {
        registration.guardian = true;
      } else if (Abbreviates(option, "login", 1)) {
        // The account the service runs as: this machine has one account, so only consumed.
        if (++i == words.size()) return Usage("-l needs a user name");
        if (i + 1 < words.size() && words[i + 1][0] != '-') ++i;
      } else if (Abbreviates(option, "superserver", 1) || Abbreviates(option, "classic", 1) ||
                 Abbreviates(option, "multithreaded", 1) || Abbreviates(option, "interactive", 1) ||
                 Abbreviates(option, "boostpriority", 1)) {
        // The server here is always a Super server of its own process.
      } else {
        return Usage("unknown switch \"" + word + "\"");
      }
    }
    if (!nx::IsValidServiceName(registration.name))
      return Usage("invalid instance name \"" + registration.name + "\"");

    nx::HostedMachine& machine = nx::CurrentHostedMachine();
    nx::ServiceInstances services(machine);
    const std::string& name = registration.name;
    switch (action) {
      case kInstall: {
        registration.toolFolder = nx::ProgramFolder();
        registration.engineFolder = nx::EngineFolderOfToolFolder(registration.toolFolder);
        services.Install(registration);
        std::printf("Service %s successfully created.\n", Display(name).c_str());
        return 0;
      }
      case kRemove:
        if (!services.Find(name)) {
          std::printf("Service %s is not installed.\n", Display(name).c_str());
          return 0;
        }
        services.Remove(name);
        std::printf("Service %s successfully deleted.\n", Display(name).c_str());
        return 0;
      case kStart:
        if (services.Start(name))
          std::printf("Service %s successfully started.\n", Display(name).c_str());
        else
          std::printf("Service %s is already running.\n", Display(name).c_str());
        return 0;
      case kStop:
        if (services.Stop(name))
          std::printf("Service %s successfully stopped.\n", Display(name).c_str());
        else
          std::printf("Service %s is not running.\n", Display(name).c_str());
        return 0;
      case kQuery:
        return Query(services);
    }
  } catch (const nx::ServiceError& e) {
    std::fprintf(stderr, "instsvc: %s (error %u)\n", e.what(), e.code());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "instsvc: %s\n", e.what());
  }
  return 1;
}
