#include <vector>

#include "platform/error.h"
#include "platform/win32_parts.h"

namespace nx {

namespace {

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::kClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::kCurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::kUsers: return HKEY_USERS;
  }
  return HKEY_LOCAL_MACHINE;
}

const char* RootName(RegRoot root) {
  switch (root) {
    case RegRoot::kClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegRoot::kCurrentUser: return "HKEY_CURRENT_USER";
    case RegRoot::kLocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegRoot::kUsers: return "HKEY_USERS";
  }
  return "?";
}

// The path below the root: a leading backslash means "from the root", which the API does not
// accept written out; a trailing one names the same key.
std::string BelowRoot(const std::string& path) {
  size_t b = 0, e = path.size();
  while (b < e && path[b] == '\\') ++b;
  while (e > b && path[e - 1] == '\\') --e;
  return path.substr(b, e - b);
}

// Text data as stored: UTF-16 units, without the terminating NUL the API adds.
std::string TextOf(const std::vector<BYTE>& bytes, bool multi) {
  std::wstring w(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  if (multi) {
    // "a\0b\0\0": each string followed by its NUL, the list's final NUL dropped.
    if (w.size() >= 2 && w[w.size() - 1] == L'\0' && w[w.size() - 2] == L'\0') w.pop_back();
    if (!w.empty() && w.back() != L'\0') w.push_back(L'\0');
    if (w.size() == 1) w.clear();  // an empty list
  } else if (!w.empty() && w.back() == L'\0') {
    w.pop_back();
  }
  return Utf8(w);
}

class Win32Key : public RegistryKey {
 public:
  Win32Key(HKEY key, std::string text) : key_(key), text_(std::move(text)) {}
  ~Win32Key() override { ::RegCloseKey(key_); }

  std::optional<RegValue> QueryValue(const std::string& name) override {
    const std::wstring wname = Wide(name);
    std::vector<BYTE> data(256);
    for (;;) {
      DWORD type = 0;
      DWORD size = static_cast<DWORD>(data.size());
      const LONG r = ::RegQueryValueExW(key_, wname.c_str(), nullptr, &type, data.data(), &size);
      if (r == ERROR_FILE_NOT_FOUND) return std::nullopt;
      if (r == ERROR_MORE_DATA) {
        data.resize(static_cast<size_t>(size) + 2);
        continue;
      }
      if (r != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(r), text_ + "\\" + name);
      data.resize(size);
      RegValue value;
      value.type = type;
      if (type == REG_SZ || type == REG_EXPAND_SZ) {
        value.data = TextOf(data, false);
      } else if (type == REG_MULTI_SZ) {
        value.data = TextOf(data, true);
      } else {
        value.data.assign(reinterpret_cast<const char*>(data.data()), data.size());
      }
      return value;
    }
  }

  void SetValue(const std::string& name, const RegValue& value) override {
    if ((value.type == kRegDword && value.data.size() != 4) || (value.type == kRegQword && value.data.size() != 8)) {
      ThrowWin32(ERROR_INVALID_PARAMETER, text_ + "\\" + name);
    }
    std::vector<BYTE> data;
    if (value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz) {
      std::wstring w = Wide(value.data);
      // Text ends in a NUL; a list's strings each end in one, and the list in one more.
      if (value.type != kRegMultiSz || w.empty() || w.back() != L'\0') w.push_back(L'\0');
      if (value.type == kRegMultiSz) w.push_back(L'\0');
      const auto* p = reinterpret_cast<const BYTE*>(w.data());
      data.assign(p, p + w.size() * sizeof(wchar_t));
    } else {
      data.assign(value.data.begin(), value.data.end());
    }
    const LONG r = ::RegSetValueExW(key_, Wide(name).c_str(), 0, value.type, data.data(),
                                    static_cast<DWORD>(data.size()));
    if (r != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(r), text_ + "\\" + name);
  }

  void DeleteValue(const std::string& name) override {
    const LONG r = ::RegDeleteValueW(key_, Wide(name).c_str());
    if (r != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(r), text_ + "\\" + name);
  }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
      wchar_t name[16384];
      DWORD length = 16384;
      const LONG r = ::RegEnumValueW(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (r == ERROR_NO_MORE_ITEMS) break;
      if (r != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(r), text_);
      names.push_back(Utf8(name, length));
    }
    return names;
  }

  std::vector<std::string> SubKeyNames() override {
    // Listing needs its own right, which a key opened to read values does not hold.
    HKEY listing = nullptr;
    LONG r = ::RegOpenKeyExW(key_, nullptr, 0, KEY_ENUMERATE_SUB_KEYS, &listing);
    if (r != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(r), text_);
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
      wchar_t name[256];
      DWORD length = 256;
      r = ::RegEnumKeyExW(listing, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (r == ERROR_NO_MORE_ITEMS) break;
      if (r != ERROR_SUCCESS) {
        ::RegCloseKey(listing);
        ThrowWin32(static_cast<DWORD>(r), text_);
      }
      names.push_back(Utf8(name, length));
    }
    ::RegCloseKey(listing);
    return names;
  }

 private:
  HKEY key_;
  std::string text_;
};

// Deletes name under parent with everything below it (RegDeleteTree is Vista's).
LONG DeleteTree(HKEY parent, const std::wstring& name) {
  HKEY key = nullptr;
  LONG r = ::RegOpenKeyExW(parent, name.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, &key);
  if (r != ERROR_SUCCESS) return r;
  for (;;) {
    wchar_t child[256];
    DWORD length = 256;
    r = ::RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r == ERROR_SUCCESS) r = DeleteTree(key, std::wstring(child, length));
    if (r != ERROR_SUCCESS) {
      ::RegCloseKey(key);
      return r;
    }
  }
  ::RegCloseKey(key);
  return ::RegDeleteKeyW(parent, name.c_str());
}

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::OpenKey(RegRoot root, const std::string& path, RegAccess access,
                                                    bool create) {
  const std::string below = BelowRoot(path);
  const std::string text = std::string(RootName(root)) + (below.empty() ? "" : "\\" + below);
  // Reading asks only to query values; writing for KEY_WRITE. No 64-bit view flag: a 32-bit
  // program sees the 32-bit view on 64-bit Windows.
  const REGSAM sam = access == RegAccess::kWrite ? KEY_WRITE : KEY_QUERY_VALUE;
  HKEY key = nullptr;
  LONG r;
  if (create) {
    DWORD disposition = 0;
    r = ::RegCreateKeyExW(RootKey(root), Wide(below).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr,
                          &key, &disposition);
  } else {
    r = ::RegOpenKeyExW(RootKey(root), Wide(below).c_str(), 0, sam, &key);
  }
  if (r != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(r), text);
  return std::make_unique<Win32Key>(key, text);
}

void Win32Registry::DeleteKey(RegRoot root, const std::string& path) {
  const std::string below = BelowRoot(path);
  const std::string text = std::string(RootName(root)) + (below.empty() ? "" : "\\" + below);
  if (below.empty()) ThrowWin32(ERROR_ACCESS_DENIED, text);
  const LONG r = DeleteTree(RootKey(root), Wide(below));
  if (r != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(r), text);
}

}  // namespace nx
