#pragma once
// Operating-system failures, turned into the program's own error at the layer's boundary.
// Codes are Windows error codes on both platforms: the hosted machine reports the code Windows
// would, so the core and its messages do not depend on which layer runs.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace nx {

enum WinError : uint32_t {
  kErrorSuccess = 0,
  kErrorInvalidFunction = 1,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorTooManyOpenFiles = 4,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorBadFormat = 11,
  kErrorInvalidData = 13,
  kErrorNotSameDevice = 17,
  kErrorWriteProtect = 19,
  kErrorWriteFault = 29,
  kErrorReadFault = 30,
  kErrorSharingViolation = 32,
  kErrorHandleDiskFull = 39,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorDiskFull = 112,
  kErrorInsufficientBuffer = 122,
  kErrorInvalidName = 123,
  kErrorDirNotEmpty = 145,
  kErrorBadPathname = 161,
  kErrorAlreadyExists = 183,
  kErrorBadExeFormat = 193,
  kErrorEnvvarNotFound = 203,
  kErrorFilenameExcedRange = 206,
  kErrorMoreData = 234,
  kErrorNoMoreItems = 259,
  kErrorDirectory = 267,     // the folder name is not valid (a file, or missing)
  kErrorBadDb = 1009,       // the registry database is corrupt
  kErrorBadKey = 1010,
  kErrorCantOpen = 1011,
  kErrorCantRead = 1012,
  kErrorCantWrite = 1013,   // a registry key cannot be written
  kErrorRegistryIoFailed = 1016,
  kErrorKeyDeleted = 1018,  // the key was deleted while open
  kErrorNoUnicodeTranslation = 1113,
  kErrorUnknownProductInstall = 1619,  // msiexec: the package cannot be opened
};

// The system's message text for an error code, as FormatMessage gives it on the machine
// (Spanish on ours), without a trailing line end. Unknown codes get a generic text with the number.
std::string SystemMessage(uint32_t code);

// A failure reported by the platform: a Windows error code, its system message and, where it helps
// the operator, what was being done ("C:\x\y.txt").
class OsError : public std::runtime_error {
 public:
  explicit OsError(uint32_t code, const std::string& context = "");
  uint32_t code() const { return code_; }
  // What was being done, as given (may be empty); what() is "context: message" or the message.
  const std::string& context() const { return context_; }

 private:
  uint32_t code_;
  std::string context_;
};

}  // namespace nx
