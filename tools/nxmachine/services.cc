// nxmachine services: the engine's service instances of the machine and whether each runs
// (its recorded server process alive and listening on its port).

#include <cstdio>
#include <string>
#include <vector>

#include "platform/hosted_machine.h"
#include "tools/instsvc/service_instances.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

int ServicesCommand(const std::vector<std::string>& args) {
  if (!args.empty()) throw UsageError{"takes no arguments"};
  ServiceInstances services(CurrentHostedMachine());
  std::vector<ServiceRegistration> all = services.All();
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
