#pragma once
// Helpers of the engine tests: the build's sample media, an engine folder put onto a scratch
// machine as the installer leaves it, commands run through the machine's process runner, and
// connections through the product's database layer.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/support/scratch_machine.h"

namespace nx::enginetest {

// The build's media (built by the "medium" target): gen3, gen25, gen3-newer.
std::string SampleMedium(const std::string& name);

// Copies the medium's engine folder to <installFolder>firebird<gen> and its databases to
// <installFolder>DataBase, then writes the port and the aliases of the application's main and
// update databases as the server installation does (entries appended, "Database" spelled as the
// installer spells it). installFolder ends in a backslash: "C:\Norvexa\".
struct Engine {
  std::string installFolder;
  bool generation3 = true;
  uint16_t port = 0;
  std::string gen() const { return generation3 ? "3" : ""; }
  std::string service() const { return "Norvexa" + gen(); }
  std::string engineFolder() const { return installFolder + "firebird" + gen() + "\\"; }
  std::string toolFolder() const { return generation3 ? engineFolder() : engineFolder() + "bin\\"; }
  std::string aliasFile() const { return engineFolder() + (generation3 ? "databases.conf" : "aliases.conf"); }
  // The instsvc command line the installer runs for action ("start -n", "stop  -n", ...).
  std::string Instsvc(const std::string& action) const;
};
Engine PutEngine(ScratchMachine& machine, const std::string& mediumFolder, bool generation3,
                 uint16_t port, const std::string& installFolder = "C:\\Norvexa\\");

// Replaces (or adds) entries of a line-list file of the machine, as the installer edits them.
void SetEntry(ScratchMachine& machine, const std::string& windowsFile, const std::string& name,
              const std::string& value);

// Runs a Windows command line through the machine's process runner (hidden) and waits.
ProcessResult RunCommand(const std::string& commandLine);

// Opens a connection to host/port:database as account, runs the query and returns the first
// column of every row. Throws EDatabaseError on failure.
std::vector<std::string> Query(uint16_t port, const std::string& database, const std::string& sql,
                               const std::string& account = "norvexa");
// True when a connection can be opened.
bool CanConnect(uint16_t port, const std::string& database, const std::string& account = "norvexa");

// Copies a host folder tree.
void CopyTree(const std::string& from, const std::string& to);

}  // namespace nx::enginetest
