#pragma once
// Kill points for the tests that interrupt an installation: a wrapper of the real platform that
// counts the calls of one kind and, on the Nth, kills this program (and the commands it is
// waiting for) with SIGKILL, as a power cut would. Armed only by the test-only variable
//
//   NXSETUP_FAULT=KIND:N[:TEXT]
//
// where only calls whose path or command line holds TEXT (letter case ignored) count. KIND:
//   write  before the Nth file written whole (WriteFile)
//   move   before the Nth file renamed (MoveFile)
//   run    while the Nth command runs: once its last quoted argument (the copy's destination)
//          holds a file, or when it ends, whichever comes first

#include <memory>
#include <string>

namespace nx::drive {

class FaultScope;

// The armed wrapper, in place as the current platform until destroyed; null when the variable is
// unset. Throws std::invalid_argument for a variable that is set but is no kill point.
std::unique_ptr<FaultScope> ArmFaultFromEnvironment();

class FaultScope {
 public:
  virtual ~FaultScope() = default;
};

}  // namespace nx::drive
