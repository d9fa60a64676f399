#include <dlfcn.h>
#include <locale.h>

#include "dbupdate/dynamic_library.h"

namespace nx {

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& name, std::string* error) {
  dlerror();
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    if (error != nullptr) *error = reason != nullptr ? reason : "dlopen failed";
    return nullptr;
  }
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() { dlclose(handle_); }

void* DynamicLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }

std::string DefaultClientLibraryName() { return "libfbclient.so.2"; }

namespace {

locale_t Utf8CharacterType() {
  static const locale_t locale = [] {
    locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return made != static_cast<locale_t>(0) ? made : newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
  }();
  return locale;
}

}  // namespace

ClientFileNameScope::ClientFileNameScope() {
  const locale_t utf8 = Utf8CharacterType();
  // Without a UTF-8 locale on the host, names outside ASCII get the engine's own error.
  if (utf8 != static_cast<locale_t>(0)) saved_ = uselocale(utf8);
}

ClientFileNameScope::~ClientFileNameScope() {
  if (saved_ != nullptr) uselocale(static_cast<locale_t>(saved_));
}

}  // namespace nx
