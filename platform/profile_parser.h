#pragma once
// Internal: the profile lookup on decoded text, shared by ReadProfileString and the machine's
// own record file.

#include <optional>
#include <string>

namespace nx {

// The value of key in section of an INI text (UTF-8), by GetPrivateProfileString rules;
// std::nullopt when the section or key is absent.
std::optional<std::string> FindProfileValue(const std::string& text, const std::string& section,
                                            const std::string& key);

}  // namespace nx
