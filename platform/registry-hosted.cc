#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/error.h"
#include "platform/hosted_parts.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace nx {

namespace {

// The registry file, for people as much as for the program:
//   NXREGISTRY 1
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Norvexa]
//   "Path"=sz:"C:\\Norvexa\\"
//   "Puerto"=dword:00000bea
//   "Datos"=hex:01,ff
//   "Lista"=multi_sz:"uno\0dos\0"
//   ; end
// Key names are written with %XX for '%' and control characters; value names and texts in
// double quotes with C escapes. The closing line tells a complete file from a cut one.
constexpr const char* kHeader = "NXREGISTRY 1";
constexpr const char* kTrailer = "; end";

struct Node {
  std::string name;                                 // as first written
  std::map<std::string, std::unique_ptr<Node>> keys;  // by folded name: Windows lists them sorted
  std::vector<std::pair<std::string, RegValue>> values;  // in the order they were made
};

constexpr RegRoot kRoots[] = {RegRoot::kClassesRoot, RegRoot::kCurrentUser, RegRoot::kLocalMachine,
                              RegRoot::kUsers};
constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                      "HKEY_USERS"};

int RootIndex(RegRoot root) {
  for (int k = 0; k < 4; ++k) {
    if (kRoots[k] == root) return k;
  }
  return 2;
}

struct Tree {
  Node roots[4];
};

std::vector<std::string> SplitKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('\\', pos);
    if (next == std::string::npos) next = path.size();
    if (next > pos) parts.push_back(path.substr(pos, next - pos));
    pos = next + 1;
  }
  return parts;
}

std::string KeyText(RegRoot root, const std::vector<std::string>& parts) {
  std::string text = kRootNames[RootIndex(root)];
  for (const std::string& p : parts) text += "\\" + p;
  return text;
}

Node* Find(Node& from, const std::vector<std::string>& parts) {
  Node* node = &from;
  for (const std::string& p : parts) {
    auto it = node->keys.find(FoldCase(p));
    if (it == node->keys.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

std::vector<std::pair<std::string, RegValue>>::iterator FindValue(Node& node, const std::string& name) {
  const std::string folded = FoldCase(name);
  for (auto it = node.values.begin(); it != node.values.end(); ++it) {
    if (FoldCase(it->first) == folded) return it;
  }
  return node.values.end();
}

// ---- writing

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default:
        if (c < 32 || c == 127) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void AppendKeyName(std::string& out, const std::string& name) {
  for (unsigned char c : name) {
    if (c == '%' || c < 32 || c == 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
}

uint64_t LittleEndian(const std::string& data) {
  uint64_t n = 0;
  for (size_t k = 0; k < data.size() && k < 8; ++k) n |= static_cast<uint64_t>(static_cast<unsigned char>(data[k])) << (8 * k);
  return n;
}

void AppendHex(std::string& out, const std::string& data) {
  for (size_t k = 0; k < data.size(); ++k) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(data[k]));
    if (k) out += ',';
    out += hex;
  }
}

void AppendValue(std::string& out, const std::string& name, const RegValue& v) {
  AppendQuoted(out, name);
  out += '=';
  char number[32];
  switch (v.type) {
    case kRegSz: out += "sz:"; AppendQuoted(out, v.data); break;
    case kRegExpandSz: out += "expand_sz:"; AppendQuoted(out, v.data); break;
    case kRegMultiSz: out += "multi_sz:"; AppendQuoted(out, v.data); break;
    case kRegDword:
      if (v.data.size() == 4) {
        std::snprintf(number, sizeof number, "dword:%08llx", static_cast<unsigned long long>(LittleEndian(v.data)));
        out += number;
        break;
      }
      [[fallthrough]];
    case kRegQword:
      if (v.type == kRegQword && v.data.size() == 8) {
        std::snprintf(number, sizeof number, "qword:%016llx", static_cast<unsigned long long>(LittleEndian(v.data)));
        out += number;
        break;
      }
      [[fallthrough]];
    default:
      if (v.type == kRegBinary) {
        out += "hex:";
      } else {
        std::snprintf(number, sizeof number, "hex(%x):", v.type);
        out += number;
      }
      AppendHex(out, v.data);
  }
  out += '\n';
}

void AppendNode(std::string& out, const Node& node, const std::string& path) {
  out += '[';
  out += path;
  out += "]\n";
  for (const auto& [name, value] : node.values) AppendValue(out, name, value);
  for (const auto& [folded, child] : node.keys) {
    std::string childPath = path + "\\";
    AppendKeyName(childPath, child->name);
    AppendNode(out, *child, childPath);
  }
}

std::string Serialize(const Tree& tree) {
  std::string out = std::string(kHeader) + "\n";
  for (int k = 0; k < 4; ++k) {
    const Node& root = tree.roots[k];
    if (root.keys.empty() && root.values.empty()) continue;
    AppendNode(out, root, kRootNames[k]);
  }
  out += kTrailer;
  out += '\n';
  return out;
}

// ---- reading

struct Corrupt {
  size_t line;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text at s[pos]; pos ends after the closing quote.
std::string ReadQuoted(const std::string& s, size_t& pos, size_t line) {
  if (pos >= s.size() || s[pos] != '"') throw Corrupt{line};
  ++pos;
  std::string out;
  while (pos < s.size() && s[pos] != '"') {
    char c = s[pos++];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= s.size()) throw Corrupt{line};
    const char e = s[pos++];
    switch (e) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case '0': out += '\0'; break;
      case 'x': {
        if (pos + 2 > s.size()) throw Corrupt{line};
        const int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
        if (hi < 0 || lo < 0) throw Corrupt{line};
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        break;
      }
      default: throw Corrupt{line};
    }
  }
  if (pos >= s.size()) throw Corrupt{line};
  ++pos;
  return out;
}

std::string ReadHexBytes(const std::string& s, size_t line) {
  std::string out;
  size_t pos = 0;
  while (pos < s.size()) {
    if (pos + 2 > s.size()) throw Corrupt{line};
    const int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
    if (hi < 0 || lo < 0) throw Corrupt{line};
    out += static_cast<char>(hi * 16 + lo);
    pos += 2;
    if (pos < s.size()) {
      if (s[pos] != ',') throw Corrupt{line};
      ++pos;
      if (pos == s.size()) throw Corrupt{line};
    }
  }
  return out;
}

std::string ReadNumber(const std::string& s, size_t digits, size_t line) {
  if (s.size() != digits) throw Corrupt{line};
  uint64_t n = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) throw Corrupt{line};
    n = n * 16 + static_cast<uint64_t>(d);
  }
  std::string data(digits / 2, '\0');
  for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<char>((n >> (8 * k)) & 0xFF);
  return data;
}

std::string ReadKeyName(const std::string& s, size_t line) {
  std::string out;
  for (size_t k = 0; k < s.size(); ++k) {
    if (s[k] != '%') {
      out += s[k];
      continue;
    }
    if (k + 2 >= s.size()) throw Corrupt{line};
    const int hi = HexDigit(s[k + 1]), lo = HexDigit(s[k + 2]);
    if (hi < 0 || lo < 0) throw Corrupt{line};
    out += static_cast<char>(hi * 16 + lo);
    k += 2;
  }
  return out;
}

void Parse(const std::string& text, Tree& tree) {
  size_t pos = 0, line = 0;
  bool sawHeader = false, sawTrailer = false;
  Node* current = nullptr;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) throw Corrupt{line + 1};  // every line ends, the last one too
    std::string s = text.substr(pos, end - pos);
    pos = end + 1;
    ++line;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    if (sawTrailer) {
      if (!s.empty()) throw Corrupt{line};
      continue;
    }
    if (!sawHeader) {
      if (s != kHeader) throw Corrupt{line};
      sawHeader = true;
      continue;
    }
    if (s.empty()) continue;
    if (s == kTrailer) {
      sawTrailer = true;
      continue;
    }
    if (s[0] == '[') {
      if (s.back() != ']') throw Corrupt{line};
      std::vector<std::string> parts = SplitKeyPath(s.substr(1, s.size() - 2));
      if (parts.empty()) throw Corrupt{line};
      int root = -1;
      for (int k = 0; k < 4; ++k) {
        if (parts[0] == kRootNames[k]) root = k;
      }
      if (root < 0) throw Corrupt{line};
      current = &tree.roots[root];
      for (size_t k = 1; k < parts.size(); ++k) {
        const std::string name = ReadKeyName(parts[k], line);
        auto& slot = current->keys[FoldCase(name)];
        if (!slot) {
          slot = std::make_unique<Node>();
          slot->name = name;
        }
        current = slot.get();
      }
      continue;
    }
    if (s[0] != '"' || current == nullptr) throw Corrupt{line};
    size_t p = 0;
    const std::string name = ReadQuoted(s, p, line);
    if (p >= s.size() || s[p] != '=') throw Corrupt{line};
    ++p;
    const size_t colon = s.find(':', p);
    if (colon == std::string::npos) throw Corrupt{line};
    const std::string kind = s.substr(p, colon - p);
    const std::string rest = s.substr(colon + 1);
    RegValue v;
    auto quoted = [&](uint32_t type) {
      size_t q = 0;
      v.type = type;
      v.data = ReadQuoted(rest, q, line);
      if (q != rest.size()) throw Corrupt{line};
    };
    if (kind == "sz") {
      quoted(kRegSz);
    } else if (kind == "expand_sz") {
      quoted(kRegExpandSz);
    } else if (kind == "multi_sz") {
      quoted(kRegMultiSz);
    } else if (kind == "dword") {
      v = {kRegDword, ReadNumber(rest, 8, line)};
    } else if (kind == "qword") {
      v = {kRegQword, ReadNumber(rest, 16, line)};
    } else if (kind == "hex") {
      v = {kRegBinary, ReadHexBytes(rest, line)};
    } else if (kind.size() > 5 && kind.compare(0, 4, "hex(") == 0 && kind.back() == ')') {
      char* stop = nullptr;
      const std::string number = kind.substr(4, kind.size() - 5);
      const unsigned long type = std::strtoul(number.c_str(), &stop, 16);
      if (*stop != '\0' || number.empty()) throw Corrupt{line};
      v = {static_cast<uint32_t>(type), ReadHexBytes(rest, line)};
    } else {
      throw Corrupt{line};
    }
    auto existing = FindValue(*current, name);
    if (existing != current->values.end()) throw Corrupt{line};
    current->values.emplace_back(name, std::move(v));
  }
  if (!sawHeader || !sawTrailer) throw Corrupt{line};
}

}  // namespace

struct HostedRegistry::Store {
  explicit Store(const std::string& root)
      : file(root + "/" + kRegistryFile), lockFile(root + "/" + kRegistryLockFile) {}

  std::string file;
  std::string lockFile;
  std::mutex mutex;
  std::unique_ptr<Tree> tree;
  std::string text;  // what tree was parsed from

  // The current tree. The file is read at every use and parsed again only when its bytes
  // changed: file times are too coarse to tell two quick rewrites by another process apart.
  // Caller holds mutex.
  Tree& Load() {
    std::string now;
    if (host::Exists(file)) now = host::ReadAll(file, file);
    if (tree && now == text) return *tree;
    auto fresh = std::make_unique<Tree>();
    if (!now.empty() || host::Exists(file)) {
      try {
        Parse(now, *fresh);
      } catch (const Corrupt& c) {
        throw OsError(kErrorBadDb, file + " (línea " + std::to_string(c.line) + ")");
      }
    }
    tree = std::move(fresh);
    text = std::move(now);
    return *tree;
  }

  // Runs change on the newest tree under the machine-wide lock and writes the result; the file
  // is replaced whole, so a reader or a killed writer never sees half of it.
  template <typename F>
  auto Modify(F change) {
    std::lock_guard<std::mutex> lock(mutex);
    host::FileLock fileLock(lockFile);
    Tree& t = Load();  // under the lock: the newest contents
    auto result = change(t);
    std::string written = Serialize(t);
    try {
      host::WriteAtomically(file, written, file, 0666);
    } catch (...) {
      tree.reset();  // the change did not reach the file: forget it
      throw;
    }
    text = std::move(written);
    return result;
  }
};

namespace {

class HostedKey : public RegistryKey {
 public:
  HostedKey(HostedRegistry::Store& store, RegRoot root, std::vector<std::string> parts, RegAccess access)
      : store_(store), root_(root), parts_(std::move(parts)), access_(access) {}

  std::optional<RegValue> QueryValue(const std::string& name) override {
    std::lock_guard<std::mutex> lock(store_.mutex);
    Node& node = Existing(store_.Load());
    auto it = FindValue(node, name);
    if (it == node.values.end()) return std::nullopt;
    return it->second;
  }

  void SetValue(const std::string& name, const RegValue& value) override {
    RequireWrite();
    if ((value.type == kRegDword && value.data.size() != 4) || (value.type == kRegQword && value.data.size() != 8)) {
      throw OsError(kErrorInvalidParameter, Text() + "\\" + name);
    }
    store_.Modify([&](Tree& t) {
      Node& node = Existing(t);
      auto it = FindValue(node, name);
      if (it != node.values.end()) {
        it->second = value;  // the name keeps its first spelling, as Windows keeps it
      } else {
        node.values.emplace_back(name, value);
      }
      return 0;
    });
  }

  void DeleteValue(const std::string& name) override {
    RequireWrite();
    store_.Modify([&](Tree& t) {
      Node& node = Existing(t);
      auto it = FindValue(node, name);
      if (it == node.values.end()) throw OsError(kErrorFileNotFound, Text() + "\\" + name);
      node.values.erase(it);
      return 0;
    });
  }

  std::vector<std::string> ValueNames() override {
    std::lock_guard<std::mutex> lock(store_.mutex);
    std::vector<std::string> names;
    for (const auto& [name, value] : Existing(store_.Load()).values) names.push_back(name);
    return names;
  }

  std::vector<std::string> SubKeyNames() override {
    std::lock_guard<std::mutex> lock(store_.mutex);
    std::vector<std::string> names;
    for (const auto& [folded, child] : Existing(store_.Load()).keys) names.push_back(child->name);
    return names;
  }

 private:
  std::string Text() const { return KeyText(root_, parts_); }

  void RequireWrite() const {
    if (access_ != RegAccess::kWrite) throw OsError(kErrorAccessDenied, Text());
  }

  Node& Existing(Tree& t) const {
    Node* node = Find(t.roots[RootIndex(root_)], parts_);
    if (node == nullptr) throw OsError(kErrorKeyDeleted, Text());
    return *node;
  }

  HostedRegistry::Store& store_;
  RegRoot root_;
  std::vector<std::string> parts_;
  RegAccess access_;
};

}  // namespace

HostedRegistry::HostedRegistry(const std::string& root) : store_(std::make_unique<Store>(root)) {}

HostedRegistry::~HostedRegistry() = default;

std::unique_ptr<RegistryKey> HostedRegistry::OpenKey(RegRoot root, const std::string& path, RegAccess access,
                                                     bool create) {
  std::vector<std::string> parts = SplitKeyPath(path);
  for (const std::string& p : parts) {
    if (p.size() > 255) throw OsError(kErrorInvalidParameter, KeyText(root, parts));
  }
  bool exists;
  {
    std::lock_guard<std::mutex> lock(store_->mutex);
    exists = Find(store_->Load().roots[RootIndex(root)], parts) != nullptr;
  }
  if (!exists) {
    if (!create) throw OsError(kErrorFileNotFound, KeyText(root, parts));
    store_->Modify([&](Tree& t) {
      Node* node = &t.roots[RootIndex(root)];
      for (const std::string& p : parts) {
        auto& slot = node->keys[FoldCase(p)];
        if (!slot) {
          slot = std::make_unique<Node>();
          slot->name = p;
        }
        node = slot.get();
      }
      return 0;
    });
  }
  return std::make_unique<HostedKey>(*store_, root, std::move(parts), access);
}

void HostedRegistry::SetValues(const std::vector<Seed>& seeds) {
  store_->Modify([&](Tree& t) {
    for (const Seed& seed : seeds) {
      Node* node = &t.roots[RootIndex(seed.root)];
      for (const std::string& p : SplitKeyPath(seed.key)) {
        auto& slot = node->keys[FoldCase(p)];
        if (!slot) {
          slot = std::make_unique<Node>();
          slot->name = p;
        }
        node = slot.get();
      }
      if (seed.value.type == kRegNone && seed.name.empty()) continue;
      auto it = FindValue(*node, seed.name);
      if (it != node->values.end()) {
        it->second = seed.value;
      } else {
        node->values.emplace_back(seed.name, seed.value);
      }
    }
    return 0;
  });
}

void HostedRegistry::DeleteKey(RegRoot root, const std::string& path) {
  std::vector<std::string> parts = SplitKeyPath(path);
  if (parts.empty()) throw OsError(kErrorAccessDenied, KeyText(root, parts));
  store_->Modify([&](Tree& t) {
    std::vector<std::string> parentParts(parts.begin(), parts.end() - 1);
    Node* parent = Find(t.roots[RootIndex(root)], parentParts);
    if (parent == nullptr || parent->keys.erase(FoldCase(parts.back())) == 0) {
      throw OsError(kErrorFileNotFound, KeyText(root, parts));
    }
    return 0;
  });
}

}  // namespace nx
