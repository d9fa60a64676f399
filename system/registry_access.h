#pragma once
// Reading and writing single registry values. Each call opens the key, does its one read or write
// and closes it again.

#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "system/errors.h"

namespace nx {

// The data type codes callers pass to EscribeRegistro.
enum TRegDataType : uint8_t {
  rdUnknown = 0,
  rdString = 1,
  rdExpandString = 2,
  rdInteger = 3,
  rdBinary = 4,
};

// The value as text, or "" when the key cannot be opened, the value is missing, it has a type other
// than text, expandable text, 32-bit number or binary, or reading fails. Never throws.
// Numbers read as signed decimal (0xFFFFFFFF gives "-1"); expandable text is not expanded; binary
// data comes back as one character per byte, U+0000 to U+00FF (the Latin-1 reading of the bytes).
std::string LeeRegistro(RegRoot root, const std::string& keyPath, const std::string& name);

// Writes the value with the given type, creating every missing key along keyPath. The value is
// text: for rdInteger a decimal 32-bit number (blanks around it allowed; EConvertError otherwise);
// for rdBinary one byte per character, each U+0000 to U+00FF (EConvertError otherwise), the
// reverse of LeeRegistro. An unknown type code (rdUnknown included) gives ERegistryException with
// the system's text for error 1013. Bad input is refused before the registry is touched. A key
// that cannot be opened or created, or a write that fails, gives ERegistryException with the
// system's text for the Windows error code.
void EscribeRegistro(RegRoot root, const std::string& keyPath, const std::string& name,
                     const std::string& value, TRegDataType type);

}  // namespace nx
