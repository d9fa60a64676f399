#pragma once
// A target name with wildcards ("*.*", "copia-X.*", "*.bak") applied to a source name, by the
// rules cmd's copy and xcopy follow: literal characters replace the source's position by
// position up to its dot, '?' keeps one source character, '*' keeps the source up to the last
// occurrence of the template's next character (or to its end), '.' moves past the source's next
// dot. Trailing dots and blanks are dropped, as Windows drops them from a file name.

#include <string>

namespace nx::tools {

std::string ApplyNameTemplate(const std::string& sourceName, const std::string& nameTemplate);

}  // namespace nx::tools
