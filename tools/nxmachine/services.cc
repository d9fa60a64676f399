// nxmachine services [stop]: the engine's service instances of the machine and whether each runs
// (its recorded server process alive and listening on its port); "stop" stops every running one,
// so that nothing a run of the installer started outlives the machine's inspection.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/hosted_machine.h"
#include "tools/instsvc/service_instances.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

int ServicesCommand(const std::vector<std::string>& args) {
  const bool stop = args.size() == 1 && args[0] == "stop";
  if (!args.empty() && !stop) throw UsageError{"takes no arguments but \"stop\""};
  ServiceInstances services(CurrentHostedMachine());
  std::vector<ServiceRegistration> all = services.All();
  if (stop) {
    for (const ServiceRegistration& registration : all)
      if (services.Stop(registration.name)) std::printf("%s\tstopped\n", registration.name.c_str());
    return 0;
  }
  if (all.empty()) {
    std::printf("(no service instances)\n");
    return 0;
  }
  for (const ServiceRegistration& registration : all) {
    ServiceStatus status = services.Status(registration);
    std::string state = !status.running   ? "stopped"
                        : status.listening ? "running, pid " + std::to_string(status.process.pid) +
                                                 ", port " + std::to_string(status.port)
                                           : "running, pid " + std::to_string(status.process.pid) +
                                                 ", NOT listening on port " + std::to_string(status.port);
    std::printf("%s\t%s\t%s\n", registration.name.c_str(), state.c_str(),
                registration.engineFolder.c_str());
  }
  return 0;
}

}  // namespace nx::nxmachine
