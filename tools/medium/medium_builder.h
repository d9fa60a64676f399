#pragma once
// Builds a complete installation medium of the sample application "Gestion" from nothing: the
// settings file, the setup program (when built), the engine folder of the chosen generation
// with its security database and tool stand-ins, the databases, the client libraries, the
// runtime packages, the updater, the uninstaller and the auxiliary folders.

#include <string>

#include "tools/medium/sample_databases.h"

namespace nx::medium {

inline constexpr char kApplication[] = "Gestion";
// The application's program, without its extension (the shortcuts add ".exe"); named apart from
// the application so that a shortcut built from the wrong one shows.
inline constexpr char kProgram[] = "nxGestion";

struct MediumOptions {
  std::string output;             // host folder; a medium built earlier there is replaced whole
  bool generation3 = true;        // false: the older generation (FIREBIRD empty)
  std::string version = kBaseVersion;
  std::string binFolder;          // where the build's programs are (instsvc, instclient, ...)
  int failingChange = 0;          // a change of the update database that the engine refuses; 0: none
};

// FirebirdError or std::runtime_error on failure; the output folder is then left as it was.
// Refuses an output folder that holds anything but a medium built by this program.
void BuildMedium(const MediumOptions& options);

}  // namespace nx::medium
