#include "platform/win32_parts.h"

#include <objbase.h>
#include <shlobj.h>

#include "platform/error.h"
#include "platform/shell_link.h"

namespace nx {

namespace {

// A COM result as the Windows error code it carries; failures of no Windows code are a write fault.
DWORD CodeOf(HRESULT hr) {
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32) return HRESULT_CODE(hr);
  if (hr == E_ACCESSDENIED) return ERROR_ACCESS_DENIED;
  if (hr == E_OUTOFMEMORY) return ERROR_NOT_ENOUGH_MEMORY;
  return ERROR_WRITE_FAULT;
}

// COM for the life of one call when the thread has none yet (the program's entry starts it for
// its own thread).
class ComScope {
 public:
  ComScope() : hr_(::CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }

 private:
  HRESULT hr_;
};

template <typename T>
class Released {
 public:
  ~Released() {
    if (p) p->Release();
  }
  T* p = nullptr;
};

}  // namespace

void Win32ShellLinks::Save(const std::string& linkPath, const ShellLink& link) {
  if (linkPath.empty()) ThrowWin32(ERROR_PATH_NOT_FOUND, linkPath);
  // The shell's own writer reports a missing folder only as a general failure: it is tested here.
  const size_t cut = linkPath.find_last_of('\\');
  if (cut != std::string::npos && cut > 0) {
    const DWORD a = ::GetFileAttributesW(Wide(linkPath.substr(0, cut + 1)).c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0) ThrowWin32(ERROR_PATH_NOT_FOUND, linkPath);
  }
  ComScope com;
  Released<IShellLinkW> shellLink;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&shellLink.p));
  if (FAILED(hr)) ThrowWin32(CodeOf(hr), linkPath);
  hr = shellLink.p->SetPath(Wide(link.target).c_str());
  if (SUCCEEDED(hr) && !link.arguments.empty()) hr = shellLink.p->SetArguments(Wide(link.arguments).c_str());
  if (SUCCEEDED(hr) && !link.workingFolder.empty()) {
    hr = shellLink.p->SetWorkingDirectory(Wide(link.workingFolder).c_str());
  }
  if (FAILED(hr)) ThrowWin32(CodeOf(hr), linkPath);
  Released<IPersistFile> file;
  hr = shellLink.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p));
  if (SUCCEEDED(hr)) hr = file.p->Save(Wide(linkPath).c_str(), TRUE);
  if (FAILED(hr)) ThrowWin32(CodeOf(hr), linkPath);
}

}  // namespace nx
