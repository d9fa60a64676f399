#pragma once
// A failure of the database layer: the engine's interpreted status text, or a text of our own for
// faults found before the engine is reached (bad parameter block, missing client library, a
// character that the connection cannot carry).
//
// The message is the engine's status lines in the engine's order joined by a single blank, so that
// it stays one line in the installation log and in the error table, and so that for an exception
// raised by a procedure it reads "exception 1 ERROR <its message> At procedure '...' line: ..":
// the exception's message begins one character after the name and ends where "At " begins.
// Lines are UTF-8. No message of this layer ever carries the login of a connection.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace nx {

inline constexpr char kDatabaseErrorSeparator[] = " ";

class EDatabaseError : public std::runtime_error {
 public:
  // A fault of our own, one line.
  explicit EDatabaseError(const std::string& message);
  // The engine's status: its lines, the SQL code and the first error code of the status vector.
  EDatabaseError(std::vector<std::string> lines, long sqlCode, intptr_t engineCode);

  const std::vector<std::string>& lines() const { return lines_; }
  long sqlCode() const { return sqlCode_; }
  // isc_* error code (isc_login, isc_network_error, ...); 0 for faults of our own.
  intptr_t engineCode() const { return engineCode_; }

 private:
  std::vector<std::string> lines_;
  long sqlCode_ = 0;
  intptr_t engineCode_ = 0;
};

}  // namespace nx
