#pragma once
// Creating database files with the engine embedded in isql-fb (no server, no login), under a
// temporary private root of their own so that nothing reaches the system's instance. Paths are
// host paths; the target file must not exist yet.

#include <string>

namespace nx {

// A Firebird 3 security database holding SYSDBA and NORVEXA, both with password (Srp), NORVEXA
// allowed to create databases. The password travels only on isql's stdin.
void CreateSecurityDatabase(const std::string& path, const std::string& password);

// A database owned by NORVEXA, dialect 3, default character set ISO8859_1; script (statements
// ended by ';', UTF-8 text) then runs in it and is committed. FirebirdError with isql's messages
// when any statement fails; the half-made file is then removed.
void CreateDatabase(const std::string& path, const std::string& script);

// Runs script (UTF-8) embedded in an existing database as its owner NORVEXA and commits.
void RunScript(const std::string& path, const std::string& script);

// A string literal for SQL text: single quotes around, inner quotes doubled.
std::string SqlQuote(const std::string& text);

}  // namespace nx
