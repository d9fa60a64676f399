#pragma once
// Shortcut files as lnkinfo (Debian's liblnk-utils), an independent reader of the shell-link
// format, shows them.

#include <array>
#include <cstdio>
#include <sstream>
#include <string>

namespace nx {

// What lnkinfo, an independent reader of the shell-link format, says of a shortcut file.
struct Lnk {
  std::string target, workingFolder, arguments, all;
};

inline std::string Field(const std::string& text, const std::string& label) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    size_t at = line.find(label);
    if (at == std::string::npos) continue;
    size_t colon = line.find(':', at + label.size());
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    return value;
  }
  return "<" + label + " missing>";
}

inline Lnk ReadLnk(const std::string& hostFile) {
  std::string output;
  FILE* pipe = ::popen(("lnkinfo '" + hostFile + "' 2>&1").c_str(), "r");
  if (pipe == nullptr) return {};
  std::array<char, 4096> buffer;
  for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) output.append(buffer.data(), n);
  ::pclose(pipe);
  return {Field(output, "Local path"), Field(output, "Working directory"), Field(output, "Command line arguments"),
          output};
}

}  // namespace nx
