#include "tools/firebird/private_server.h"

#include <stdlib.h>

#include <filesystem>

#include "dbupdate/password.h"
#include "tools/firebird/embedded_database.h"

namespace nx {

namespace fs = std::filesystem;

std::unique_ptr<PrivateServer> PrivateServer::StartScratch(uint16_t port,
                                                           const std::string& password) {
  std::unique_ptr<PrivateServer> server(new PrivateServer);
  std::string pattern = (fs::temp_directory_path() / "nx-fbserver-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw FirebirdError("cannot create a temporary folder for a server");
  server->root_ = pattern;
  std::error_code ec;
  fs::create_directories(server->dataFolder(), ec);
  if (ec) throw FirebirdError("cannot create " + server->dataFolder() + ": " + ec.message());
  server->settings_.securityDatabase = server->root_ + "/security3.fdb";
  server->settings_.dataFolders = {server->dataFolder()};
  CreateSecurityDatabase(server->settings_.securityDatabase,
                         password.empty() ? ProductPassword() : password);
  server->Start(port == 0 ? FreeTcpPort() : port);
  return server;
}

PrivateServer::~PrivateServer() {
  try {
    Stop();
  } catch (...) {
  }
  if (!root_.empty()) {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
}

bool PrivateServer::running() const { return IsServerProcess(process_); }

std::string PrivateServer::ConnectionString(const std::string& alias) const {
  return "localhost/" + std::to_string(port_) + ":" + alias;
}

void PrivateServer::WriteConfig() {
  settings_.port = port_;
  settings_.auxPort = port_ < 65535 ? port_ + 1 : 0;
  PrepareInstanceRoot(root_, settings_, aliases_);
}

std::string PrivateServer::CreateDatabase(const std::string& alias, const std::string& script) {
  std::string path = dataFolder() + "/" + alias + ".fdb";
  nx::CreateDatabase(path, script);
  SetAlias(alias, path);
  return path;
}

void PrivateServer::SetAlias(const std::string& alias, const std::string& path) {
  AliasEntry entry{alias, path};
  if (!IsRenderableAlias(entry)) throw FirebirdError("the alias " + alias + " cannot be written to databases.conf");
  for (AliasEntry& existing : aliases_)
    if (existing.name == alias) {
      existing.path = path;
      WriteConfig();
      return;
    }
  aliases_.push_back(entry);
  WriteConfig();
}

void PrivateServer::AddDataFolder(const std::string& folder) {
  settings_.dataFolders.push_back(folder);
  WriteConfig();
}

void PrivateServer::Stop() {
  StopServer(process_);
  process_ = {};
}

void PrivateServer::Start(uint16_t port) {
  if (running()) return;
  if (port != 0) port_ = port;
  WriteConfig();
  process_ = StartServer(root_, port_);
}

}  // namespace nx
