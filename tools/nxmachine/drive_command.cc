#include <cstdio>

#include "platform/hosted_machine.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

// Without arguments, lists the drives: "D: /host/folder".
int DriveCommand(const std::vector<std::string>& args) {
  if (args.empty()) {
    for (const auto& [letter, folder] : CurrentHostedMachine().Drives()) std::printf("%c: %s\n", letter, folder.c_str());
    return 0;
  }
  if (args.size() != 2) throw UsageError{"expected LETTER and HOSTFOLDER"};
  const std::string& letter = args[0];
  if (letter.empty() || letter.size() > 2 || (letter.size() == 2 && letter[1] != ':')) {
    throw UsageError{"not a drive letter: " + letter};
  }
  CurrentHostedMachine().MapDrive(letter[0], args[1]);
  return 0;
}

}  // namespace nx::nxmachine
