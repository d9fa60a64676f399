#pragma once
// Internal (hosted): host failures as the Windows error codes the same failure gives on Windows.

#include <cstdint>
#include <string>

namespace nx {

// errno to a Windows code; fallback for errors Windows has no counterpart for.
uint32_t WinErrorFromErrno(int err, uint32_t fallback);

// Throws OsError for errno with the Windows path as context.
[[noreturn]] void ThrowErrno(int err, const std::string& context, uint32_t fallback);

}  // namespace nx
