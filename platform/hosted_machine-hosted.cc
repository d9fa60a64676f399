#include "platform/hosted_machine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "platform/error.h"
#include "platform/hosted_parts.h"
#include "platform/posix_error.h"
#include "platform/profile_parser.h"

namespace nx {

namespace {

constexpr const char* kUserName = "Administrador";
constexpr const char* kComputerName = "NXPC";

void MakeHostFolders(const std::string& path) {
  std::string current;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    current = path.substr(0, next);
    pos = next + 1;
    if (current.empty()) continue;
    if (::mkdir(current.c_str(), 0777) != 0 && errno != EEXIST) ThrowErrno(errno, current, kErrorPathNotFound);
  }
}

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) ThrowErrno(errno, path, kErrorPathNotFound);
  return buffer;
}

const char* kHostsFile =
    "# Archivo HOSTS usado por Windows: asigna nombres de host a direcciones IP.\r\n"
    "#\r\n"
    "# Cada entrada va en una línea: la dirección IP, al menos un espacio y el nombre del host.\r\n"
    "#\r\n"
    "127.0.0.1       localhost\r\n";

struct RegistrySeed {
  RegRoot root;
  const char* key;
  const char* name;
  uint32_t type;
  std::string data;
};

void SeedRegistry(HostedRegistry& registry, const std::string& user) {
  const std::string profile = "C:\\Users\\" + user;
  const std::string roaming = profile + "\\AppData\\Roaming";
  const std::string userMenu = roaming + "\\Microsoft\\Windows\\Start Menu";
  const std::string commonMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  const char* shell = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const char* nt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  const char* cv = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  const RegistrySeed seeds[] = {
      {RegRoot::kLocalMachine, shell, "Common Desktop", kRegSz, "C:\\Users\\Public\\Desktop"},
      {RegRoot::kLocalMachine, shell, "Common Documents", kRegSz, "C:\\Users\\Public\\Documents"},
      {RegRoot::kLocalMachine, shell, "Common AppData", kRegSz, "C:\\ProgramData"},
      {RegRoot::kLocalMachine, shell, "Common Start Menu", kRegSz, commonMenu},
      {RegRoot::kLocalMachine, shell, "Common Programs", kRegSz, commonMenu + "\\Programs"},
      {RegRoot::kLocalMachine, shell, "Common Startup", kRegSz, commonMenu + "\\Programs\\Startup"},
      {RegRoot::kCurrentUser, shell, "Desktop", kRegSz, profile + "\\Desktop"},
      {RegRoot::kCurrentUser, shell, "Personal", kRegSz, profile + "\\Documents"},
      {RegRoot::kCurrentUser, shell, "AppData", kRegSz, roaming},
      {RegRoot::kCurrentUser, shell, "Local AppData", kRegSz, profile + "\\AppData\\Local"},
      {RegRoot::kCurrentUser, shell, "Start Menu", kRegSz, userMenu},
      {RegRoot::kCurrentUser, shell, "Programs", kRegSz, userMenu + "\\Programs"},
      {RegRoot::kCurrentUser, shell, "Startup", kRegSz, userMenu + "\\Programs\\Startup"},
      {RegRoot::kLocalMachine, nt, "ProductName", kRegSz, "Windows 7 Professional"},
      {RegRoot::kLocalMachine, nt, "CurrentVersion", kRegSz, "6.1"},
      {RegRoot::kLocalMachine, nt, "CurrentBuildNumber", kRegSz, "7601"},
      {RegRoot::kLocalMachine, nt, "CSDVersion", kRegSz, "Service Pack 1"},
      {RegRoot::kLocalMachine, nt, "SystemRoot", kRegSz, "C:\\Windows"},
      {RegRoot::kLocalMachine, nt, "RegisteredOwner", kRegSz, user},
      {RegRoot::kLocalMachine, cv, "ProgramFilesDir", kRegSz, "C:\\Program Files"},
      {RegRoot::kLocalMachine, cv, "CommonFilesDir", kRegSz, "C:\\Program Files\\Common Files"},
      {RegRoot::kLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
       "ComputerName", kRegSz, kComputerName},
      {RegRoot::kCurrentUser, "Environment", "TEMP", kRegExpandSz, "%USERPROFILE%\\AppData\\Local\\Temp"},
      {RegRoot::kCurrentUser, "Environment", "TMP", kRegExpandSz, "%USERPROFILE%\\AppData\\Local\\Temp"},
  };
  std::vector<HostedRegistry::Seed> batch;
  for (const RegistrySeed& seed : seeds) batch.push_back({seed.root, seed.key, seed.name, {seed.type, seed.data}});
  // Empty keys that tools of the machine fill in.
  batch.push_back({RegRoot::kLocalMachine,
                   "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
                   "StandardProfile\\GloballyOpenPorts\\List",
                   "", {}});
  batch.push_back({RegRoot::kLocalMachine, std::string(cv) + "\\Uninstall", "", {}});
  registry.SetValues(batch);
}

// The machine CurrentHostedMachine() returns: a scoped one, else the one NXSETUP_MACHINE names.
struct Current {
  std::mutex mutex;
  HostedMachine* scoped = nullptr;
  std::map<std::string, std::unique_ptr<HostedMachine>> opened;  // kept: references stay valid
};

Current& TheCurrent() {
  static Current* current = new Current;  // never destroyed: used from atexit paths too
  return *current;
}

}  // namespace

struct HostedMachine::State {
  explicit State(const MachineFacts& f)
      : facts(f),
        drives(f.root),
        attributes(f.root),
        files(drives, attributes),
        registry(f.root),
        environment(facts),
        processes(facts, drives, environment),
        shell(files, processes),
        links(files) {
    platform.files = &files;
    platform.registry = &registry;
    platform.processes = &processes;
    platform.environment = &environment;
    platform.network = &network;
    platform.clock = &clock;
    platform.links = &links;
    platform.shell = &shell;
  }

  MachineFacts facts;
  DriveMap drives;
  AttributeStore attributes;
  HostedFileSystem files;
  HostedRegistry registry;
  HostedEnvironment environment;
  HostedProcessRunner processes;
  HostedNetwork network;
  HostedClock clock;
  HostedShell shell;
  HostedShellLinks links;
  std::unique_ptr<HostedSystemInfo> system;
  Platform platform;
};

void HostedMachine::Create(const std::string& rootIn, const std::string& toolsFolder) {
  MakeHostFolders(rootIn);
  const std::string root = RealPath(rootIn);
  const std::string record = root + "/" + kMachineRecordFile;
  if (host::Exists(record)) return;

  const std::string c = root + "/C";
  const std::string user = std::string("/Users/") + kUserName;
  const char* folders[] = {
      "/Windows/System32/drivers/etc",
      "/Windows/Temp",
      "/Windows/Fonts",
      "/Program Files/Common Files",
      "/ProgramData/Microsoft/Windows/Start Menu/Programs/Startup",
      "/Users/Public/Desktop",
      "/Users/Public/Documents",
  };
  for (const char* f : folders) MakeHostFolders(c + f);
  const char* userFolders[] = {
      "/Desktop",
      "/Documents",
      "/AppData/Local/Temp",
      "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup",
  };
  for (const char* f : userFolders) MakeHostFolders(c + user + f);
  host::WriteAtomically(c + "/Windows/System32/drivers/etc/hosts", kHostsFile, "hosts");

  // The stand-in Windows tools; those not built yet are simply absent.
  for (const char* tool : {"cmd", "xcopy", "msiexec", "netsh", "attrib"}) {
    const std::string from = toolsFolder + "/" + tool;
    if (!toolsFolder.empty() && host::Exists(from) && !host::IsDirectory(from)) {
      host::CopyWithoutSync(from, c + "/Windows/System32/" + tool + ".exe", from);
    }
  }

  {
    HostedRegistry registry(root);
    SeedRegistry(registry, kUserName);
  }
  // Written last: a machine is there once its record is.
  host::WriteAtomically(record,
                        std::string("[Machine]\nVersion=1\nUserName=") + kUserName +
                            "\nComputerName=" + kComputerName + "\n",
                        record);
}

HostedMachine::HostedMachine(const std::string& rootIn) {
  MachineFacts facts;
  char buffer[PATH_MAX];
  if (::realpath(rootIn.c_str(), buffer) == nullptr) throw OsError(kErrorPathNotFound, rootIn);
  facts.root = buffer;
  const std::string record = facts.root + "/" + kMachineRecordFile;
  if (!host::Exists(record) || !host::IsDirectory(facts.root + "/C")) {
    throw OsError(kErrorPathNotFound, rootIn + " (no es una máquina)");
  }
  const std::string text = host::ReadAll(record, record);
  facts.userName = FindProfileValue(text, "Machine", "UserName").value_or(kUserName);
  facts.computerName = FindProfileValue(text, "Machine", "ComputerName").value_or(kComputerName);
  state_ = std::make_unique<State>(facts);
  state_->system = std::make_unique<HostedSystemInfo>(*this);
  state_->platform.system = state_->system.get();
}

HostedMachine::~HostedMachine() = default;

const std::string& HostedMachine::root() const { return state_->facts.root; }

void HostedMachine::MapDrive(char letter, const std::string& hostFolder) {
  state_->drives.Map(letter, hostFolder);
}

std::map<char, std::string> HostedMachine::Drives() const { return state_->drives.Drives(); }

std::string HostedMachine::HostPath(const std::string& windowsPath) const {
  return state_->drives.Resolve(windowsPath).host;
}

std::optional<std::string> HostedMachine::WindowsPath(const std::string& hostPath) const {
  return state_->drives.WindowsPath(hostPath);
}

Platform& HostedMachine::platform() { return state_->platform; }

HostedMachine& CurrentHostedMachine() {
  Current& current = TheCurrent();
  std::lock_guard<std::mutex> lock(current.mutex);
  if (current.scoped) return *current.scoped;
  const char* name = std::getenv("NXSETUP_MACHINE");
  if (name == nullptr || *name == '\0') throw OsError(kErrorEnvvarNotFound, "NXSETUP_MACHINE");
  auto it = current.opened.find(name);
  if (it == current.opened.end()) {
    it = current.opened.emplace(name, std::make_unique<HostedMachine>(name)).first;
  }
  return *it->second;
}

ScopedHostedMachine::ScopedHostedMachine(HostedMachine& machine) {
  Current& current = TheCurrent();
  std::lock_guard<std::mutex> lock(current.mutex);
  saved_ = current.scoped;
  current.scoped = &machine;
}

ScopedHostedMachine::~ScopedHostedMachine() {
  Current& current = TheCurrent();
  std::lock_guard<std::mutex> lock(current.mutex);
  current.scoped = saved_;
}

}  // namespace nx
