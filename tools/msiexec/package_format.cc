#include "tools/msiexec/package_format.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>

#include "platform/text.h"

namespace nx::msi {
namespace {

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

uint64_t Fnv1a(const std::string& text, uint64_t seed) {
  uint64_t h = seed;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  return h;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

bool IsBracedGuid(const std::string& t) {
  if (t.size() != 38 || t.front() != '{' || t.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? t[i] != '-' : !std::isxdigit(static_cast<unsigned char>(t[i]))) return false;
  }
  return true;
}

std::string ProductCodeForName(const std::string& fileName) {
  std::string key = FoldCase(fileName);
  uint64_t a = Fnv1a(key, 0xcbf29ce484222325ULL);
  uint64_t b = Fnv1a(key, a ^ 0x9e3779b97f4a7c15ULL);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%04X-%012llX}",
                static_cast<unsigned>(a >> 32), static_cast<unsigned>((a >> 16) & 0xFFFF),
                static_cast<unsigned>(a & 0xFFFF), static_cast<unsigned>(b >> 48),
                static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
  return buffer;
}

std::optional<Package> ParsePackage(const std::string& bytes, const std::string& fileName,
                                    std::string* error) {
  std::string text = DecodeTextFile(bytes);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  auto fail = [&](const std::string& why) -> std::optional<Package> {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };
  if (lines.empty() || lines[0] != kPackageMarker)
    return fail("falta la marca \"" + std::string(kPackageMarker) + "\" en la primera línea");
  Package p;
  std::set<std::string> seen;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string line = Trim(lines[i]);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    size_t eq = line.find('=');
    std::string where = "línea " + std::to_string(i + 1);
    if (eq == std::string::npos || eq == 0) return fail(where + ": se esperaba Nombre=Valor");
    std::string name = FoldCase(Trim(line.substr(0, eq)));
    std::string value = Trim(line.substr(eq + 1));
    if (!seen.insert(name).second) return fail(where + ": " + name + " repetido");
    if (name == FoldCase("ProductName")) p.productName = value;
    else if (name == FoldCase("ProductVersion")) p.productVersion = value;
    else if (name == FoldCase("Manufacturer")) p.manufacturer = value;
    else if (name == FoldCase("ProductCode")) {
      if (!IsBracedGuid(value)) return fail(where + ": ProductCode no es un GUID entre llaves");
      p.productCode = Upper(value);
    } else {
      return fail(where + ": nombre desconocido " + Trim(line.substr(0, eq)));
    }
  }
  if (p.productName.empty()) return fail("falta ProductName");
  if (p.productCode.empty()) p.productCode = ProductCodeForName(fileName);
  return p;
}

std::string FormatPackage(const Package& p) {
  std::string out = std::string(kPackageMarker) + "\r\n";
  out += "ProductName=" + p.productName + "\r\n";
  if (!p.productVersion.empty()) out += "ProductVersion=" + p.productVersion + "\r\n";
  if (!p.manufacturer.empty()) out += "Manufacturer=" + p.manufacturer + "\r\n";
  if (!p.productCode.empty()) out += "ProductCode=" + p.productCode + "\r\n";
  return out;
}

}  // namespace nx::msi
