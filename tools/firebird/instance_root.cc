#include "tools/firebird/instance_root.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "tools/firebird/engine_process.h"

namespace nx {

namespace {

namespace fs = std::filesystem;

// With a symbolic link in its place the engine reports ISO8859_1 as not installed.
const char kCharsetLibrary[] = "/usr/lib/x86_64-linux-gnu/firebird/3.0/intl/libfbintl.so";

bool Renderable(const std::string& text) {
  if (text.empty()) return false;
  if (text.find('#') != std::string::npos || text.find("$(") != std::string::npos) return false;
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  return text.front() != ' ' && text.back() != ' ' && text.front() != '\t' && text.back() != '\t';
}

void CopyCharsetLibrary(const std::string& root) {
  fs::path target = fs::path(root) / "intl" / "libfbintl.so";
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  if (ec) throw FirebirdError("cannot create " + target.parent_path().string() + ": " + ec.message());
  auto sourceSize = fs::file_size(kCharsetLibrary, ec);
  if (ec) throw FirebirdError(std::string("the Firebird character-set library is missing: ") + kCharsetLibrary);
  std::error_code targetEc;
  if (!fs::is_symlink(target, targetEc) && fs::exists(target, targetEc) &&
      fs::file_size(target, targetEc) == sourceSize && !targetEc)
    return;
  fs::path temporary = target;
  temporary += ".new";
  fs::copy_file(kCharsetLibrary, temporary, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::rename(temporary, target, ec);
  if (ec) throw FirebirdError("cannot copy " + std::string(kCharsetLibrary) + " to " + target.string() + ": " + ec.message());
}

}  // namespace

bool IsRenderableAlias(const AliasEntry& alias) {
  return Renderable(alias.name) && Renderable(alias.path) &&
         alias.name.find('=') == std::string::npos;
}

std::string RenderFirebirdConf(const ServerSettings& settings) {
  std::string access;
  for (const std::string& folder : settings.dataFolders) {
    if (!Renderable(folder) || folder.find(';') != std::string::npos) continue;
    access += (access.empty() ? "" : ";") + folder;
  }
  std::string text;
  text += "# Written for this instance at every start; edits are lost.\n";
  text += "RemoteServicePort = " + std::to_string(settings.port) + "\n";
  text += "RemoteAuxPort = " + std::to_string(settings.auxPort) + "\n";
  text += "RemoteBindAddress = 127.0.0.1\n";
  text += "ServerMode = Super\n";
  text += "AuthServer = Srp\n";
  text += "AuthClient = Srp, Srp256, Legacy_Auth\n";
  text += "UserManager = Srp\n";
  text += "WireCrypt = Enabled\n";
  text += "SecurityDatabase = " + settings.securityDatabase + "\n";
  // An empty list would give the server every file of the host.
  text += access.empty() ? "DatabaseAccess = None\n" : "DatabaseAccess = Restrict " + access + "\n";
  return text;
}

std::string RenderDatabasesConf(const std::vector<AliasEntry>& aliases) {
  std::string text = "# Written for this instance at every start; edits are lost.\n";
  for (const AliasEntry& alias : aliases)
    if (IsRenderableAlias(alias)) text += alias.name + " = " + alias.path + "\n";
  return text;
}

void WriteFileAtomically(const std::string& path, const std::string& text) {
  std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) throw FirebirdError("cannot write " + temporary);
  }
  std::error_code ec;
  fs::rename(temporary, path, ec);
  if (ec) throw FirebirdError("cannot replace " + path + ": " + ec.message());
}

void PrepareInstanceRoot(const std::string& root, const ServerSettings& settings,
                         const std::vector<AliasEntry>& aliases) {
  std::error_code ec;
  fs::create_directories(root, ec);
  if (ec) throw FirebirdError("cannot create " + root + ": " + ec.message());
  PrepareRuntimeFolders(root);
  CopyCharsetLibrary(root);
  WriteFileAtomically(root + "/firebird.conf", RenderFirebirdConf(settings));

  // A running server rereads databases.conf when its modification time changes, compared in whole
  // seconds: a rewrite within the same second as the last one would go unseen.
  std::string aliasFile = root + "/databases.conf";
  struct stat before;
  bool existed = stat(aliasFile.c_str(), &before) == 0;
  WriteFileAtomically(aliasFile, RenderDatabasesConf(aliases));
  struct stat after;
  if (existed && stat(aliasFile.c_str(), &after) == 0 && after.st_mtim.tv_sec <= before.st_mtim.tv_sec) {
    timespec times[2] = {{0, UTIME_OMIT}, {before.st_mtim.tv_sec + 1, 0}};
    utimensat(AT_FDCWD, aliasFile.c_str(), times, 0);
  }
}

}  // namespace nx
