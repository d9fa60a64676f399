#include "tools/instsvc/service_instances.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace nx {

namespace {

namespace fs = std::filesystem;

const char kParametersKey[] = "Parameters";
const char kRootValue[] = "RootDirectory";
const char kToolFolderValue[] = "ToolFolder";
const char kGuardianValue[] = "Guardian";
const char kPidRecord[] = "server.pid";

std::string KeyOf(const std::string& name) { return std::string(kServicesKey) + "\\" + name; }

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
std::string AsciiLower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string StripTrailingBackslashes(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string LastComponent(const std::string& windowsPath) {
  std::string path = StripTrailingBackslashes(windowsPath);
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ParentFolder(const std::string& windowsPath) {
  std::string path = StripTrailingBackslashes(windowsPath);
  size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return path;
  std::string parent = path.substr(0, slash);
  if (parent.size() == 2 && parent[1] == ':') parent += "\\";  // "C:" is the drive's root
  return parent;
}

std::optional<std::string> StringValue(RegistryKey& key, const std::string& name) {
  std::optional<RegValue> value = key.QueryValue(name);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return std::nullopt;
  std::string text = value->data;
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

// The entries of a text of lines "name = value" as the engine reads its files: '#' starts a
// comment, blocks in braces (per-database settings) are not entries.
struct ConfLine {
  std::string name, value;
};
std::vector<ConfLine> ConfEntries(const std::string& text) {
  std::vector<ConfLine> entries;
  std::istringstream lines(text);
  std::string line;
  int depth = 0;
  while (std::getline(lines, line)) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    if (trimmed[0] == '{') {
      ++depth;
      continue;
    }
    if (trimmed[0] == '}') {
      depth = std::max(0, depth - 1);
      continue;
    }
    if (depth > 0) continue;
    size_t eq = trimmed.find('=');
    if (eq == std::string::npos) continue;
    std::string value = trimmed.substr(eq + 1);
    size_t hash = value.find('#');
    if (hash != std::string::npos) value = value.substr(0, hash);
    entries.push_back({Trim(trimmed.substr(0, eq)), Trim(value)});
  }
  return entries;
}

bool IsDrivePath(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         (path[2] == '\\' || path[2] == '/');
}

std::optional<std::string> ReadMachineFile(HostedMachine& machine, const std::string& path) {
  FileSystem& files = *machine.platform().files;
  if (!files.FileExists(path)) return std::nullopt;
  return DecodeTextFile(files.ReadFile(path));
}

// Serialises start, stop and remove of one instance between processes.
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    fd_ = open((folder + "/instance.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~InstanceLock() {
    if (fd_ >= 0) close(fd_);
  }

 private:
  int fd_ = -1;
};

struct PidRecord {
  ServerProcess process;
  uint16_t port = 0;
};

std::optional<PidRecord> ReadPidRecord(const std::string& folder) {
  std::ifstream in(folder + "/" + kPidRecord);
  PidRecord record;
  unsigned port = 0;
  if (!(in >> record.process.pid >> record.process.startTime >> port)) return std::nullopt;
  record.port = static_cast<uint16_t>(port);
  return record;
}

void WritePidRecord(const std::string& folder, const PidRecord& record) {
  WriteFileAtomically(folder + "/" + kPidRecord,
                      std::to_string(record.process.pid) + " " +
                          std::to_string(record.process.startTime) + " " +
                          std::to_string(record.port) + "\n");
}

void AppendInstanceLog(const std::string& folder, const std::string& text) {
  std::error_code ec;
  fs::create_directories(folder + "/log", ec);
  std::ofstream out(folder + "/log/instsvc.log", std::ios::app);
  std::time_t now = std::time(nullptr);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  out << stamp << " " << text << "\n";
}

// The instance's guardian: a small process of its own that ends the server once the machine it
// belongs to is gone (its instance folder removed with the machine's root), so that a server is
// never left running for a machine that no longer exists. It ends with the server.
void SpawnGuardian(const ServerProcess& process, const std::string& folder) {
  pid_t child = fork();
  if (child < 0) return;  // the server runs all the same, only unguarded
  if (child > 0) {
    waitpid(child, nullptr, 0);
    return;
  }
  // Detached from the caller: its own session, no inherited descriptors, reparented at once.
  setsid();
  close_range(0, ~0U, 0);
  if (fork() != 0) _exit(0);
  for (;;) {
    sleep(1);
    if (!IsServerProcess(process)) _exit(0);
    if (access(folder.c_str(), F_OK) != 0) {
      StopServer(process);
      _exit(0);
    }
  }
}

uint16_t ParsePort(const std::string& text, const std::string& entry, const std::string& file) {
  bool digits = !text.empty() && text.size() <= 5 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  unsigned long value = digits ? std::stoul(text) : 0;
  if (!digits || value == 0 || value > 65535)
    throw ServiceError(kErrorServiceCannotAcceptControl,
                       entry + " in " + file + " is not a TCP port: \"" + text + "\"");
  return static_cast<uint16_t>(value);
}

}  // namespace

bool IsValidServiceName(const std::string& name) {
  if (name.empty() || name.size() > 256 || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return c == '\\' || c == '/' || static_cast<unsigned char>(c) < 0x20;
  });
}

std::string EngineFolderOfToolFolder(const std::string& toolFolder) {
  std::string folder = StripTrailingBackslashes(toolFolder);
  if (EqualsIgnoreCase(LastComponent(folder), "bin")) return StripTrailingBackslashes(ParentFolder(folder));
  return folder;
}

EngineConfiguration ReadEngineConfiguration(HostedMachine& machine,
                                            const ServiceRegistration& registration) {
  EngineConfiguration config;
  const std::string root = registration.engineFolder;
  config.generation3 = !EqualsIgnoreCase(LastComponent(registration.toolFolder), "bin");
  config.configFile = root + "\\firebird.conf";
  config.aliasFile = root + (config.generation3 ? "\\databases.conf" : "\\aliases.conf");

  std::optional<std::string> conf = ReadMachineFile(machine, config.configFile);
  if (!conf)
    throw ServiceError(kErrorServiceCannotAcceptControl, "missing " + config.configFile);
  std::optional<std::string> port, auxPort;
  for (const ConfLine& entry : ConfEntries(*conf)) {
    // The installer replaces an entry by appending it, so the last one stands.
    if (EqualsIgnoreCase(entry.name, "RemoteServicePort")) port = entry.value;
    if (EqualsIgnoreCase(entry.name, "RemoteAuxPort")) auxPort = entry.value;
  }
  if (!port)
    throw ServiceError(kErrorServiceCannotAcceptControl,
                       "no RemoteServicePort in " + config.configFile +
                           " (the default 3050 belongs to this host's own Firebird)");
  config.settings.port = ParsePort(*port, "RemoteServicePort", config.configFile);
  if (config.settings.port == 3050)
    throw ServiceError(kErrorServiceCannotAcceptControl,
                       "RemoteServicePort 3050 in " + config.configFile +
                           " belongs to this host's own Firebird; give the instance a port of its own");
  if (auxPort && *auxPort != "0") config.settings.auxPort = ParsePort(*auxPort, "RemoteAuxPort", config.configFile);

  std::string security = root + (config.generation3 ? "\\security3.fdb" : "\\security2.fdb");
  if (!machine.platform().files->FileExists(security))
    throw ServiceError(kErrorServiceCannotAcceptControl, "missing security database " + security);
  config.settings.securityDatabase = machine.HostPath(security);

  std::set<std::string> folders;
  std::set<std::string> names;  // as rendered, letter case kept
  std::vector<AliasEntry> explicitEntries;
  if (std::optional<std::string> aliases = ReadMachineFile(machine, config.aliasFile)) {
    std::set<std::string> seen;  // folded: the first entry of a name counts, as on Windows
    for (const ConfLine& entry : ConfEntries(*aliases)) {
      if (entry.name.empty()) continue;
      if (!seen.insert(FoldCase(entry.name)).second) {
        config.skipped.push_back(entry.name + ": repeated; the first entry counts");
        continue;
      }
      if (!IsDrivePath(entry.value)) {
        config.skipped.push_back(entry.name + " = " + entry.value + ": not a drive path");
        continue;
      }
      std::string host;
      try {
        host = machine.HostPath(entry.value);
      } catch (const OsError& e) {
        config.skipped.push_back(entry.name + " = " + entry.value + ": " + e.what());
        continue;
      }
      AliasEntry alias{entry.name, host};
      if (!IsRenderableAlias(alias)) {
        config.skipped.push_back(entry.name + " = " + entry.value + ": the engine cannot read this line");
        continue;
      }
      explicitEntries.push_back(alias);
      names.insert(alias.name);
      folders.insert(fs::path(host).parent_path().string());
    }
  }
  // Windows' engine finds an alias whatever its letter case; this one compares exactly, so the
  // common spellings are given too.
  config.aliases = explicitEntries;
  for (const AliasEntry& alias : explicitEntries)
    for (const std::string& variant : {AsciiUpper(alias.name), AsciiLower(alias.name)})
      if (names.insert(variant).second) config.aliases.push_back({variant, alias.path});
  config.settings.dataFolders.assign(folders.begin(), folders.end());
  return config;
}

ServiceInstances::ServiceInstances(HostedMachine& machine) : machine_(machine) {}

std::string ServiceInstances::InstanceFolder(const std::string& name) const {
  return machine_.root() + "/services/" + AsciiLower(FoldCase(name));
}

std::optional<ServiceRegistration> ServiceInstances::Find(const std::string& name) {
  if (!IsValidServiceName(name)) return std::nullopt;
  Registry& registry = *machine_.platform().registry;
  std::unique_ptr<RegistryKey> parameters;
  try {
    parameters = registry.OpenKey(RegRoot::kLocalMachine, KeyOf(name) + "\\" + kParametersKey,
                                  RegAccess::kRead, false);
  } catch (const OsError& e) {
    if (e.code() == kErrorFileNotFound) return std::nullopt;
    throw;
  }
  std::optional<std::string> root = StringValue(*parameters, kRootValue);
  if (!root) return std::nullopt;  // a service of Windows, not an engine instance
  ServiceRegistration registration;
  registration.engineFolder = *root;
  registration.toolFolder = StringValue(*parameters, kToolFolderValue).value_or(*root);
  std::optional<RegValue> guardian = parameters->QueryValue(kGuardianValue);
  registration.guardian = guardian && guardian->type == kRegDword && guardian->data.size() == 4 &&
                          guardian->data[0] != 0;
  // The key's own spelling, as Windows reports the service name.
  registration.name = name;
  for (const std::string& existing :
       registry.OpenKey(RegRoot::kLocalMachine, kServicesKey, RegAccess::kRead, false)->SubKeyNames())
    if (EqualsIgnoreCase(existing, name)) registration.name = existing;
  std::unique_ptr<RegistryKey> key = registry.OpenKey(RegRoot::kLocalMachine, KeyOf(name), RegAccess::kRead, false);
  std::optional<RegValue> start = key->QueryValue("Start");
  registration.autoStart = !(start && start->type == kRegDword && start->data.size() == 4 && start->data[0] == 3);
  return registration;
}

std::vector<ServiceRegistration> ServiceInstances::All() {
  std::vector<ServiceRegistration> all;
  std::vector<std::string> names;
  try {
    names = machine_.platform().registry->OpenKey(RegRoot::kLocalMachine, kServicesKey,
                                                  RegAccess::kRead, false)->SubKeyNames();
  } catch (const OsError& e) {
    if (e.code() != kErrorFileNotFound) throw;
  }
  for (const std::string& name : names)
    if (std::optional<ServiceRegistration> registration = Find(name)) all.push_back(*registration);
  return all;
}

void ServiceInstances::Install(const ServiceRegistration& registration) {
  if (!IsValidServiceName(registration.name))
    throw ServiceError(kErrorInvalidParameter, "invalid service name \"" + registration.name + "\"");
  Registry& registry = *machine_.platform().registry;
  try {
    registry.OpenKey(RegRoot::kLocalMachine, KeyOf(registration.name), RegAccess::kRead, false);
    throw ServiceError(kErrorServiceExists, "the service " + registration.name + " exists already");
  } catch (const OsError& e) {
    if (e.code() != kErrorFileNotFound) throw;
  }
  std::string tool = StripTrailingBackslashes(registration.toolFolder);
  std::unique_ptr<RegistryKey> key =
      registry.OpenKey(RegRoot::kLocalMachine, KeyOf(registration.name), RegAccess::kWrite, true);
  key->SetValue("Type", RegValue::Dword(0x10));  // SERVICE_WIN32_OWN_PROCESS
  key->SetValue("Start", RegValue::Dword(registration.autoStart ? 2 : 3));
  key->SetValue("ErrorControl", RegValue::Dword(1));
  key->SetValue("ImagePath", {kRegExpandSz, "\"" + tool + "\\firebird.exe\" -s " + registration.name});
  key->SetValue("DisplayName", RegValue::String("Firebird Server - " + registration.name));
  key->SetValue("ObjectName", RegValue::String("LocalSystem"));
  std::unique_ptr<RegistryKey> parameters = registry.OpenKey(
      RegRoot::kLocalMachine, KeyOf(registration.name) + "\\" + kParametersKey, RegAccess::kWrite, true);
  parameters->SetValue(kRootValue, RegValue::String(StripTrailingBackslashes(registration.engineFolder)));
  parameters->SetValue(kToolFolderValue, RegValue::String(tool));
  parameters->SetValue(kGuardianValue, RegValue::Dword(registration.guardian ? 1 : 0));
}

void ServiceInstances::Remove(const std::string& name) {
  std::optional<ServiceRegistration> registration = Find(name);
  if (!registration) return;
  std::string folder = InstanceFolder(name);
  {
    InstanceLock lock(folder);
    if (Status(*registration).running)
      throw ServiceError(kErrorServiceAlreadyRunning,
                         "the service " + registration->name + " is running; stop it first");
    machine_.platform().registry->DeleteKey(RegRoot::kLocalMachine, KeyOf(registration->name));
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
}

ServiceStatus ServiceInstances::Status(const ServiceRegistration& registration) {
  ServiceStatus status;
  status.registration = registration;
  if (std::optional<PidRecord> record = ReadPidRecord(InstanceFolder(registration.name))) {
    status.process = record->process;
    status.port = record->port;
    status.running = IsServerProcess(record->process);
    status.listening = status.running && IsListening(record->process.pid, record->port);
  }
  return status;
}

bool ServiceInstances::Start(const std::string& name) {
  std::optional<ServiceRegistration> registration = Find(name);
  if (!registration)
    throw ServiceError(kErrorServiceDoesNotExist, "the service " + name + " is not installed");
  std::string folder = InstanceFolder(registration->name);
  InstanceLock lock(folder);
  if (Status(*registration).running) return false;

  EngineConfiguration config = ReadEngineConfiguration(machine_, *registration);
  for (const std::string& line : config.skipped)
    AppendInstanceLog(folder, "alias skipped: " + line);
  PrepareInstanceRoot(folder, config.settings, config.aliases);
  AppendInstanceLog(folder, "starting on port " + std::to_string(config.settings.port) + " from " +
                                registration->engineFolder);
  ServerProcess process;
  try {
    process = StartServer(folder, config.settings.port);
  } catch (const FirebirdError& e) {
    AppendInstanceLog(folder, std::string("start failed: ") + e.what());
    throw;
  }
  WritePidRecord(folder, {process, config.settings.port});
  AppendInstanceLog(folder, "started, pid " + std::to_string(process.pid));
  SpawnGuardian(process, folder);
  return true;
}

bool ServiceInstances::Stop(const std::string& name) {
  std::optional<ServiceRegistration> registration = Find(name);
  std::string folder = InstanceFolder(registration ? registration->name : name);
  if (!fs::exists(folder)) return false;
  InstanceLock lock(folder);
  std::optional<PidRecord> record = ReadPidRecord(folder);
  if (!record) return false;
  bool stopped = StopServer(record->process);
  std::error_code ec;
  fs::remove(folder + "/" + kPidRecord, ec);
  AppendInstanceLog(folder, stopped ? "stopped, pid " + std::to_string(record->process.pid)
                                    : "was not running");
  return stopped;
}

}  // namespace nx
