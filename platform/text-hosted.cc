#include "platform/error.h"
#include "platform/text.h"
#include "platform/text_native.h"

namespace nx {

// The hosted machine is a Western European Windows.
int SystemCodePage() { return kCodePageWindows1252; }

std::optional<std::string> NativeUtf8ToCodePage(const std::string&, int codePage) {
  throw OsError(kErrorInvalidParameter, "página de códigos " + std::to_string(codePage));
}

std::string NativeCodePageToUtf8(const std::string&, int codePage) {
  throw OsError(kErrorInvalidParameter, "página de códigos " + std::to_string(codePage));
}

}  // namespace nx
