#pragma once
// Environment variables of the (simulated) Windows machine; names without regard to case.

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
