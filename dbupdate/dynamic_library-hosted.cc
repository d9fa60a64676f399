#include <dlfcn.h>

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

}  // namespace nx
