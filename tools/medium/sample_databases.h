#pragma once
// The databases of the sample application "Gestion": its base schema, the history of schema
// changes up to the newest version, and the scripts that make each database of a medium of a
// given version. A medium of version V holds a main database already at V (base schema plus
// every change up to V) and an update database whose change list holds those same changes, not
// applied, so that an older main database is brought to V by replaying them.

#include <string>
#include <vector>

namespace nx::medium {

inline constexpr char kBaseVersion[] = "1.2.3";
inline constexpr char kNewerVersion[] = "1.3.0";

struct SchemaChange {
  int id;           // ID_CAMBIO; 0 (re)defines the check procedure
  const char* version;
  int order;        // ORDEN within the version
  const char* statement;
};

// Every change of the application's history (id 0 first), in replay order.
const std::vector<SchemaChange>& SchemaHistory();

// The version rule of the change list: dots removed, then compared as text by character code.
bool VersionAtMost(const std::string& version, const std::string& limit);
std::string WithoutDots(const std::string& version);

// Scripts (statements ended by ';', UTF-8) run in a freshly created database.
std::string MainDatabaseScript(const std::string& version);    // schema at version, one configuration row
std::string SampleDatabaseScript(const std::string& version);  // the same with sample data
// EJECUTABLE, CAMBIOS_BD, ERRORES. With failingChange, that change's statement is one the engine
// refuses (a reference to a table that does not exist), for media that must fail an update.
std::string UpdateDatabaseScript(const std::string& version, int failingChange = 0);

// The statement that stands for change id on a medium whose update must fail at it.
std::string FailingStatement(int id);
std::string PhotosDatabaseScript();
std::string DummyDatabaseScript();

}  // namespace nx::medium
