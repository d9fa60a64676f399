#pragma once
// Database names as the server that opens them knows them. The program names data files by
// Windows paths; a server on this machine opens them under the name the machine gives them
// (the same text on Windows, the host path on the hosted machine).

#include <string>

namespace nx {

// True for "localhost", "127.0.0.1" and this machine's name (letter case ignored).
bool IsThisMachine(const std::string& host);

// A drive-letter path: "C:\x", "c:/x".
bool IsDrivePath(const std::string& database);

// A connection string "host[/port]:database" with a drive-letter database on this machine
// translated through the machine's drive map; aliases, other hosts and other forms unchanged.
// EDatabaseError when the path lies outside every drive of the machine.
std::string ServerConnectionString(const std::string& connectionString);

// A database name given to this machine's services manager, translated alike.
std::string LocalDatabaseName(const std::string& database);

}  // namespace nx
