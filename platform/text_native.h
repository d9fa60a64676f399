#pragma once
// Internal: code pages other than 1252 and Latin-1, which the portable converters handle
// themselves. Windows converts them with the system's tables; the hosted machine has none.

#include <optional>
#include <string>

namespace nx {

// Both throw OsError(kErrorInvalidParameter) for a code page the system does not know.
std::optional<std::string> NativeUtf8ToCodePage(const std::string& utf8, int codePage);
std::string NativeCodePageToUtf8(const std::string& bytes, int codePage);

}  // namespace nx
