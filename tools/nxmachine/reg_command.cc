#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

namespace {

constexpr const char* kNotFound = "ERROR: El sistema no pudo encontrar la clave o el valor del Registro especificados.";

struct KeyName {
  RegRoot root;
  std::string rootText;  // HKEY_LOCAL_MACHINE...
  std::string path;      // below the root, no leading backslash
};

KeyName ParseKey(const std::string& text) {
  const size_t slash = text.find('\\');
  const std::string head = FoldCase(text.substr(0, slash));
  KeyName k;
  if (head == "HKLM" || head == "HKEY_LOCAL_MACHINE") {
    k = {RegRoot::kLocalMachine, "HKEY_LOCAL_MACHINE", ""};
  } else if (head == "HKCU" || head == "HKEY_CURRENT_USER") {
    k = {RegRoot::kCurrentUser, "HKEY_CURRENT_USER", ""};
  } else if (head == "HKCR" || head == "HKEY_CLASSES_ROOT") {
    k = {RegRoot::kClassesRoot, "HKEY_CLASSES_ROOT", ""};
  } else if (head == "HKU" || head == "HKEY_USERS") {
    k = {RegRoot::kUsers, "HKEY_USERS", ""};
  } else {
    throw UsageError{"not a registry key: " + text};
  }
  if (slash != std::string::npos) k.path = text.substr(slash + 1);
  while (!k.path.empty() && k.path.back() == '\\') k.path.pop_back();
  return k;
}

const char* TypeName(uint32_t type) {
  switch (type) {
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case kRegMultiSz: return "REG_MULTI_SZ";
    case kRegQword: return "REG_QWORD";
    case kRegNone: return "REG_NONE";
    default: return "REG_UNKNOWN";
  }
}

uint64_t LittleEndian(const std::string& data) {
  uint64_t n = 0;
  for (size_t k = 0; k < data.size() && k < 8; ++k) n |= static_cast<uint64_t>(static_cast<unsigned char>(data[k])) << (8 * k);
  return n;
}

std::string Shown(const RegValue& v) {
  char number[32];
  switch (v.type) {
    case kRegSz:
    case kRegExpandSz: return v.data;
    case kRegDword:
      std::snprintf(number, sizeof number, "0x%x", static_cast<unsigned>(LittleEndian(v.data)));
      return number;
    case kRegQword:
      std::snprintf(number, sizeof number, "0x%llx", static_cast<unsigned long long>(LittleEndian(v.data)));
      return number;
    case kRegMultiSz: {
      std::string text = v.data;
      while (!text.empty() && text.back() == '\0') text.pop_back();
      std::string out;
      for (char c : text) out += c == '\0' ? std::string("\\0") : std::string(1, c);
      return out;
    }
    default: {
      std::string out;
      for (unsigned char c : v.data) {
        std::snprintf(number, sizeof number, "%02X", c);
        out += number;
      }
      return out;
    }
  }
}

void PrintValue(const std::string& name, const RegValue& v) {
  std::printf("    %s    %s    %s\n", name.empty() ? "(Predeterminado)" : name.c_str(), TypeName(v.type), Shown(v).c_str());
}

void QueryTree(Registry& registry, const KeyName& key, bool recursive) {
  std::unique_ptr<RegistryKey> k = registry.OpenKey(key.root, key.path, RegAccess::kRead, false);
  const std::string full = key.rootText + (key.path.empty() ? "" : "\\" + key.path);
  std::printf("\n%s\n", full.c_str());
  for (const std::string& name : k->ValueNames()) {
    if (std::optional<RegValue> v = k->QueryValue(name)) PrintValue(name, *v);
  }
  const std::vector<std::string> subkeys = k->SubKeyNames();
  if (!recursive) {
    if (!subkeys.empty()) std::printf("\n");
    for (const std::string& sub : subkeys) std::printf("%s\\%s\n", full.c_str(), sub.c_str());
    return;
  }
  for (const std::string& sub : subkeys) {
    KeyName child = key;
    child.path = key.path.empty() ? sub : key.path + "\\" + sub;
    QueryTree(registry, child, true);
  }
}

struct Options {
  std::optional<std::string> value;  // /v NAME, /ve gives ""
  std::string type = "REG_SZ";
  std::optional<std::string> data;
  std::string separator = "\\0";
  bool recursive = false;
};

Options ParseOptions(const std::vector<std::string>& args, size_t from) {
  Options o;
  for (size_t k = from; k < args.size(); ++k) {
    const std::string flag = FoldCase(args[k]);
    auto next = [&]() -> std::string {
      if (k + 1 >= args.size()) throw UsageError{args[k] + " needs a value"};
      return args[++k];
    };
    if (flag == "/V") o.value = next();
    else if (flag == "/VE") o.value = "";
    else if (flag == "/T") o.type = FoldCase(next());
    else if (flag == "/D") o.data = next();
    else if (flag == "/S" && k + 1 < args.size() && args[k + 1].size() == 1) o.separator = next();
    else if (flag == "/S") o.recursive = true;
    else if (flag == "/F") {
    } else {
      throw UsageError{"unknown option " + args[k]};
    }
  }
  return o;
}

RegValue MakeValue(const Options& o) {
  const std::string data = o.data.value_or("");
  if (o.type == "REG_SZ") return {kRegSz, data};
  if (o.type == "REG_EXPAND_SZ") return {kRegExpandSz, data};
  if (o.type == "REG_DWORD" || o.type == "REG_QWORD") {
    char* stop = nullptr;
    const unsigned long long n = std::strtoull(data.c_str(), &stop, 0);
    if (data.empty() || *stop != '\0') throw UsageError{"not a number: " + data};
    const size_t size = o.type == "REG_DWORD" ? 4 : 8;
    if (size == 4 && n > 0xFFFFFFFFull) throw UsageError{"too big for REG_DWORD: " + data};
    std::string bytes(size, '\0');
    for (size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>((n >> (8 * k)) & 0xFF);
    return {o.type == "REG_DWORD" ? kRegDword : kRegQword, bytes};
  }
  if (o.type == "REG_BINARY") {
    if (data.size() % 2) throw UsageError{"odd number of hex digits: " + data};
    std::string bytes;
    for (size_t k = 0; k < data.size(); k += 2) {
      if (!std::isxdigit(static_cast<unsigned char>(data[k])) || !std::isxdigit(static_cast<unsigned char>(data[k + 1]))) {
        throw UsageError{"not hex: " + data};
      }
      bytes += static_cast<char>(std::strtoul(data.substr(k, 2).c_str(), nullptr, 16));
    }
    return {kRegBinary, bytes};
  }
  if (o.type == "REG_MULTI_SZ") {
    std::string bytes;
    size_t pos = 0;
    while (pos <= data.size() && !data.empty()) {
      size_t next = data.find(o.separator, pos);
      if (next == std::string::npos) next = data.size();
      bytes += data.substr(pos, next - pos);
      bytes += '\0';
      pos = next + o.separator.size();
    }
    return {kRegMultiSz, bytes};
  }
  throw UsageError{"unknown type " + o.type};
}

}  // namespace

int RegCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) throw UsageError{"expected an operation and a key"};
  const std::string op = FoldCase(args[0]);
  const KeyName key = ParseKey(args[1]);
  const Options o = ParseOptions(args, 2);
  Registry& registry = *CurrentPlatform().registry;
  try {
    if (op == "QUERY") {
      if (!o.value) {
        QueryTree(registry, key, o.recursive);
        return 0;
      }
      std::unique_ptr<RegistryKey> k = registry.OpenKey(key.root, key.path, RegAccess::kRead, false);
      std::optional<RegValue> v = k->QueryValue(*o.value);
      if (!v) throw OsError(kErrorFileNotFound);
      std::printf("\n%s%s\n", key.rootText.c_str(), key.path.empty() ? "" : ("\\" + key.path).c_str());
      PrintValue(*o.value, *v);
      return 0;
    }
    if (op == "ADD") {
      std::unique_ptr<RegistryKey> k = registry.OpenKey(key.root, key.path, RegAccess::kWrite, true);
      if (o.value) k->SetValue(*o.value, MakeValue(o));
      std::printf("La operación se completó correctamente.\n");
      return 0;
    }
    if (op == "DELETE") {
      if (o.value) {
        registry.OpenKey(key.root, key.path, RegAccess::kWrite, false)->DeleteValue(*o.value);
      } else {
        registry.DeleteKey(key.root, key.path);
      }
      std::printf("La operación se completó correctamente.\n");
      return 0;
    }
  } catch (const OsError& e) {
    if (e.code() != kErrorFileNotFound) throw;
    std::fprintf(stderr, "%s\n", kNotFound);
    return 1;
  }
  throw UsageError{"unknown operation " + args[0]};
}

}  // namespace nx::nxmachine
