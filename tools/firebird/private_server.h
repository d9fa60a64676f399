#pragma once
// A private Firebird 3 server in a folder of its own, for tests and tools: its security database
// (SYSDBA and NORVEXA with the product password), its aliases, its port on 127.0.0.1. Stopped by
// its recorded pid, never by name; the system's instance on 3050 is never used.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/firebird/engine_process.h"
#include "tools/firebird/instance_root.h"

namespace nx {

class PrivateServer {
 public:
  // A fresh server in a new temporary folder on port (0: a free one), running when this returns.
  // The folder goes when the object does. password empty: the product password.
  static std::unique_ptr<PrivateServer> StartScratch(uint16_t port = 0,
                                                     const std::string& password = "");
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  uint16_t port() const { return port_; }
  const std::string& root() const { return root_; }         // host folder of the instance
  std::string dataFolder() const { return root_ + "/data"; }  // where CreateDatabase puts files
  const ServerProcess& process() const { return process_; }
  bool running() const;

  // "localhost/<port>:<alias>", as clients name a database of this server.
  std::string ConnectionString(const std::string& alias) const;

  // Creates <dataFolder>/<alias>.fdb (owner NORVEXA, ISO8859_1), runs script in it and makes
  // alias name it. Returns the file's path. Works while the server runs.
  std::string CreateDatabase(const std::string& alias, const std::string& script = "");
  // Adds or replaces an alias (path anywhere in a data folder); the server reads it at the next
  // attachment.
  void SetAlias(const std::string& alias, const std::string& path);
  // Lets the server open files in one more folder (takes effect at the next Start).
  void AddDataFolder(const std::string& folder);

  void Stop();
  // Starts again (after Stop) on port, or on the same port when 0.
  void Start(uint16_t port = 0);

 private:
  PrivateServer() = default;
  void WriteConfig();

  std::string root_;
  uint16_t port_ = 0;
  ServerSettings settings_;
  std::vector<AliasEntry> aliases_;
  ServerProcess process_;
};

}  // namespace nx
