#include "system/registry_access.h"

#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nx {
namespace {

// Text up to its first NUL: what a text value holds for the programs that read it.
std::string UpToNul(const std::string& data) { return data.substr(0, data.find('\0')); }

std::string ReadValue(RegRoot root, const std::string& keyPath, const std::string& name) {
  std::unique_ptr<RegistryKey> key =
      CurrentPlatform().registry->OpenKey(root, keyPath, RegAccess::kRead, false);
  if (!key) return "";
  std::optional<RegValue> value = key->QueryValue(name);
  if (!value) return "";
  switch (value->type) {
    case kRegSz:
    case kRegExpandSz:
      return UpToNul(value->data);
    case kRegDword: {
      if (value->data.size() != 4) return "";
      const auto* b = reinterpret_cast<const unsigned char*>(value->data.data());
      const uint32_t n = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                         uint32_t{b[3]} << 24;
      return std::to_string(static_cast<int32_t>(n));
    }
    case kRegBinary:
      return CodePageToUtf8(value->data, kCodePageLatin1);
    default:
      return "";
  }
}

int32_t ParseInt32(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  const std::string digits = begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
  size_t i = 0;
  bool negative = false;
  if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) negative = digits[i++] == '-';
  if (i == digits.size()) throw EConvertError("'" + text + "' no es un valor entero válido");
  int64_t n = 0;
  for (; i < digits.size(); ++i) {
    if (digits[i] < '0' || digits[i] > '9') {
      throw EConvertError("'" + text + "' no es un valor entero válido");
    }
    n = n * 10 + (digits[i] - '0');
    if (n > int64_t{std::numeric_limits<int32_t>::max()} + 1) break;
  }
  if (negative) n = -n;
  if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max()) {
    throw EConvertError("'" + text + "' no cabe en un entero de 32 bits");
  }
  return static_cast<int32_t>(n);
}

RegValue ToRegValue(const std::string& value, TRegDataType type) {
  switch (type) {
    case rdString:
      return {kRegSz, value};
    case rdExpandString:
      return {kRegExpandSz, value};
    case rdInteger:
      return RegValue::Dword(static_cast<uint32_t>(ParseInt32(value)));
    case rdBinary: {
      std::optional<std::string> bytes = Utf8ToCodePage(value, kCodePageLatin1);
      if (!bytes) {
        throw EConvertError("El valor binario solo admite caracteres de U+0000 a U+00FF");
      }
      return {kRegBinary, *bytes};
    }
    default:
      throw ERegistryException(kErrorCantWrite, SystemMessage(kErrorCantWrite));
  }
}

}  // namespace

std::string LeeRegistro(RegRoot root, const std::string& keyPath, const std::string& name) {
  try {
    return ReadValue(root, keyPath, name);
  } catch (const std::exception&) {
    return "";
  }
}

void EscribeRegistro(RegRoot root, const std::string& keyPath, const std::string& name,
                     const std::string& value, TRegDataType type) {
  const RegValue data = ToRegValue(value, type);
  std::unique_ptr<RegistryKey> key;
  try {
    key = CurrentPlatform().registry->OpenKey(root, keyPath, RegAccess::kWrite, true);
  } catch (const OsError& e) {
    throw ERegistryException(e.code(), SystemMessage(e.code()));
  }
  if (!key) throw ERegistryException(kErrorCantOpen, SystemMessage(kErrorCantOpen));
  try {
    key->SetValue(name, data);
  } catch (const OsError& e) {
    throw ERegistryException(e.code(), SystemMessage(e.code()));
  }
}

}  // namespace nx
