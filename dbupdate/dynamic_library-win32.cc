#include <windows.h>

#include "dbupdate/dynamic_library.h"
#include "platform/error.h"
#include "platform/text.h"

namespace nx {

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& name, std::string* error) {
  std::u16string wide = Utf8ToUtf16(name);
  HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(wide.c_str()));
  if (module == nullptr) {
    if (error != nullptr) *error = SystemMessage(GetLastError());
    return nullptr;
  }
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(module));
}

DynamicLibrary::~DynamicLibrary() { FreeLibrary(static_cast<HMODULE>(handle_)); }

void* DynamicLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string DefaultClientLibraryName() { return "fbclient.dll"; }

// Windows names files in UTF-16 and the library converts UTF-8 names itself.
ClientFileNameScope::ClientFileNameScope() {}
ClientFileNameScope::~ClientFileNameScope() {}

}  // namespace nx
