#pragma once
// The errors the system services raise, named after the run-time errors callers of these
// services have always handled: a value out of range, a failed file operation, a text that is not
// a number, a registry operation that failed.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace nx {

// A value does not fit where it has to go (a show mode above 65535, a command line too long).
class ERangeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file could not be created, opened, written or closed; code is the Windows error code.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(uint32_t code, const std::string& message)
      : std::runtime_error(message), code_(code) {}
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

// A text that should hold a number does not.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A registry key could not be opened or a value not written. The message is the system's text
// for code, so the operator reads what Windows says.
class ERegistryException : public std::runtime_error {
 public:
  ERegistryException(uint32_t code, const std::string& message)
      : std::runtime_error(message), code_(code) {}
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

}  // namespace nx
