#pragma once
// Environment variables of the (simulated) Windows machine; names without regard to case. On the
// hosted machine, NXSETUP_ENV_<NAME> in the real environment overrides a variable and an empty
// NXSETUP_ENV_<NAME>= removes it (see hosted_machine.h).

#include <optional>
#include <string>

namespace nx {

class Environment {
 public:
  virtual ~Environment() = default;
  // std::nullopt when the variable is not set.
  virtual std::optional<std::string> Get(const std::string& name) = 0;
};

}  // namespace nx
