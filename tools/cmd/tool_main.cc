#include "tools/cmd/tool_main.h"

#include <exception>
#include <string>

#include "platform/error.h"
#include "tools/cmd/tool_console.h"

namespace nx::tools {

int RunTool(const std::function<int()>& work, int failureCode) {
  try {
    return work();
  } catch (const OsError& e) {
    ErrLine(e.what());
  } catch (const std::exception& e) {
    ErrLine(std::string("Error: ") + e.what());
  }
  return failureCode;
}

}  // namespace nx::tools
