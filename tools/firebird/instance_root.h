#pragma once
// The folder a private Firebird 3 instance runs from: its firebird.conf and databases.conf, the
// real copy of the character-set library, and the lock, tmp and log folders. All paths are host
// paths.

#include <cstdint>
#include <string>
#include <vector>

namespace nx {

struct ServerSettings {
  uint16_t port = 0;     // RemoteServicePort
  uint16_t auxPort = 0;  // RemoteAuxPort (events); 0 lets the engine choose
  std::string securityDatabase;
  // The only folders whose database files the server opens (DatabaseAccess = Restrict ...).
  std::vector<std::string> dataFolders;
};

struct AliasEntry {
  std::string name;
  std::string path;
};

// The firebird.conf of a private instance: loopback only, Super server, Srp logins, encrypted wire
// where the client agrees, its own security database, access restricted to its data folders.
std::string RenderFirebirdConf(const ServerSettings& settings);

// databases.conf text. Entries the engine's parser would take apart (a '#', a "$(", a line break,
// blanks at either end of the name, an empty part) cannot be written and are skipped.
std::string RenderDatabasesConf(const std::vector<AliasEntry>& aliases);
bool IsRenderableAlias(const AliasEntry& alias);

// Writes firebird.conf and databases.conf into root (each replaced whole, never half written),
// copies the character-set library to root/intl when it is missing or differs, and makes the
// runtime folders. FirebirdError on failure.
void PrepareInstanceRoot(const std::string& root, const ServerSettings& settings,
                         const std::vector<AliasEntry>& aliases);

// Writes text to path through a temporary file and a rename.
void WriteFileAtomically(const std::string& path, const std::string& text);

}  // namespace nx
