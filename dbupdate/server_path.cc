#include "dbupdate/server_path.h"

#include <cctype>
#include <optional>

#include "dbupdate/database_error.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nx {

bool IsThisMachine(const std::string& host) {
  if (EqualsIgnoreCase(host, "localhost") || host == "127.0.0.1") return true;
  try {
    Platform& platform = CurrentPlatform();
    if (platform.environment == nullptr) return false;
    std::optional<std::string> name = platform.environment->Get("COMPUTERNAME");
    return name.has_value() && !name->empty() && EqualsIgnoreCase(host, *name);
  } catch (const OsError&) {
    return false;  // no machine to ask: only the loopback names are this machine
  }
}

bool IsDrivePath(const std::string& database) {
  return database.size() >= 3 && std::isalpha(static_cast<unsigned char>(database[0])) &&
         database[1] == ':' && (database[2] == '\\' || database[2] == '/');
}

std::string LocalDatabaseName(const std::string& database) {
  if (!IsDrivePath(database)) return database;
  try {
    return CurrentPlatform().files->NativePath(database);
  } catch (const OsError& error) {
    throw EDatabaseError("La base de datos \"" + database +
                         "\" no está en ninguna unidad de esta máquina: " + error.what());
  }
}

std::string ServerConnectionString(const std::string& connectionString) {
  // host[/port]:database; an IPv6 host comes in brackets.
  size_t colon;
  if (!connectionString.empty() && connectionString[0] == '[') {
    const size_t close = connectionString.find(']');
    if (close == std::string::npos) return connectionString;
    colon = connectionString.find(':', close);
  } else {
    colon = connectionString.find(':');
  }
  if (colon == std::string::npos || colon < 2) return connectionString;  // no host, or "C:\..."
  const std::string server = connectionString.substr(0, colon);
  const std::string database = connectionString.substr(colon + 1);
  if (!IsDrivePath(database)) return connectionString;
  std::string host = server.substr(0, server.find('/'));
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  if (host != "::1" && !IsThisMachine(host)) return connectionString;
  return server + ":" + LocalDatabaseName(database);
}

}  // namespace nx
