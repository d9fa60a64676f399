#pragma once
// The engine's service instances of the hosted machine. A registration lives where Windows keeps
// services, HKLM\SYSTEM\CurrentControlSet\Services\<name>, with the engine folder it belongs to
// in its Parameters subkey; a started instance is a real private Firebird 3 server configured
// from that engine folder, whose rendered configuration, lock and log folders and pid record lie
// in <machine root>/services/<name>/ (never in the engine folder).

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/firebird/engine_process.h"
#include "tools/firebird/instance_root.h"

namespace nx {

class HostedMachine;

inline constexpr char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
inline constexpr uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr uint32_t kErrorServiceExists = 1073;
inline constexpr uint32_t kErrorServiceCannotAcceptControl = 1061;
inline constexpr uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr uint32_t kErrorServiceNotActive = 1062;

// A failure of a service operation, with the Windows service error code it stands for.
class ServiceError : public std::runtime_error {
 public:
  ServiceError(uint32_t code, const std::string& text) : std::runtime_error(text), code_(code) {}
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

struct ServiceRegistration {
  std::string name;          // as registered
  std::string engineFolder;  // Windows path of the engine's root, no trailing backslash
  std::string toolFolder;    // Windows path of the folder of the registering instsvc.exe
  bool guardian = false;     // registered with -g
  bool autoStart = true;     // -a (default) or -d
};

// What start reads from the engine folder, rendered for the real server.
struct EngineConfiguration {
  bool generation3 = true;          // databases.conf and security3.fdb; else aliases.conf, security2.fdb
  std::string configFile;           // Windows paths of the files read
  std::string aliasFile;
  ServerSettings settings;          // host paths
  std::vector<AliasEntry> aliases;  // host paths, letter-case variants included
  std::vector<std::string> skipped; // alias lines that could not be used, with the reason
};

struct ServiceStatus {
  ServiceRegistration registration;
  bool running = false;    // the recorded server process is alive
  bool listening = false;  // and it listens on its recorded port
  ServerProcess process;
  uint16_t port = 0;
};

// The engine root of a tool folder: the folder itself, or its parent when it is a "bin" folder
// (the older generation keeps its tools in firebird\bin\). Windows paths, no trailing backslash.
std::string EngineFolderOfToolFolder(const std::string& toolFolder);

// Reads firebird.conf and the alias file of a registration's engine folder and translates every
// Windows path through the machine's drive map. ServiceError when the port is missing, not a
// number, or the system instance's 3050, or when the security database is missing.
EngineConfiguration ReadEngineConfiguration(HostedMachine& machine,
                                            const ServiceRegistration& registration);

class ServiceInstances {
 public:
  explicit ServiceInstances(HostedMachine& machine);

  std::optional<ServiceRegistration> Find(const std::string& name);
  std::vector<ServiceRegistration> All();

  // ServiceError(kErrorServiceExists) when a service of that name is registered already.
  void Install(const ServiceRegistration& registration);
  // Nothing when absent; ServiceError(kErrorServiceCannotAcceptControl) while it runs (Windows
  // marks a running service for deletion only once it stops; this tool refuses instead).
  void Remove(const std::string& name);

  // Returns false when it was running already. ServiceError(kErrorServiceDoesNotExist) when not
  // registered; ServiceError or FirebirdError with the server's log when it does not come up.
  bool Start(const std::string& name);
  // Returns false when it was not running (stopped or absent).
  bool Stop(const std::string& name);

  ServiceStatus Status(const ServiceRegistration& registration);

  // Host folder of an instance's runtime files: <machine root>/services/<name in lower case>.
  std::string InstanceFolder(const std::string& name) const;

 private:
  HostedMachine& machine_;
};

// The instance name of a command line's -n value: Windows refuses '/' and '\' in service names.
bool IsValidServiceName(const std::string& name);

}  // namespace nx
