#include "platform/error.h"
#include "platform/platform.h"
#include "platform/profile.h"
#include "platform/profile_parser.h"
#include "platform/text.h"

namespace nx {

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue) {
  // GetPrivateProfileString drops trailing blanks of the default as well.
  std::string fallback = defaultValue;
  while (!fallback.empty() && IsBlank(fallback.back())) fallback.pop_back();
  std::string bytes;
  try {
    bytes = CurrentPlatform().files->ReadFile(file);
  } catch (const OsError&) {
    return fallback;
  }
  std::optional<std::string> value = FindProfileValue(DecodeTextFile(bytes), section, key);
  return value ? *value : fallback;
}

}  // namespace nx
