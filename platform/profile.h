#pragma once
// Reading INI (profile) files with GetPrivateProfileStringW rules: section and key names without
// regard to case, blanks around a value dropped, the first matching key wins, a missing file,
// section or key gives the default. ANSI files are read in the system code page, files with a
// BOM by their BOM. Reads through the current FileSystem.

#include <string>

namespace nx {

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& defaultValue);

}  // namespace nx
