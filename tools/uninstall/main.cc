// UnInstall.exe of the sample medium: the product's uninstaller is outside the installer; this one
// records that it ran (its folder, its command line and the entries of the UnInstall.dat beside
// it) in the machine's shared data folder, uninstall.log, and removes nothing.

#include <cstdio>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "tools/medium/run_record.h"

int main() {
  try {
    nx::medium::RunFields fields = {{"folder", nx::ProgramFolder()},
                                    {"commandline", nx::ProgramCommandLine()}};
    nx::FileSystem& files = *nx::CurrentPlatform().files;
    std::string list = nx::ProgramFolder() + "UnInstall.dat";
    if (files.FileExists(list)) {
      std::istringstream lines(nx::DecodeTextFile(files.ReadFile(list)));
      std::string line;
      while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos) fields.push_back({"entry", line.substr(0, eq)});
      }
    } else {
      fields.push_back({"list", "missing"});
    }
    nx::medium::AppendRunRecord("uninstall.log", "uninstall", fields);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "UnInstall: %s\n", e.what());
    return 1;
  }
}
