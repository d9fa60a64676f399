#include "platform/registry.h"

namespace nx {

RegValue RegValue::Dword(uint32_t n) {
  std::string data(4, '\0');
  for (int k = 0; k < 4; ++k) data[k] = static_cast<char>((n >> (8 * k)) & 0xFF);
  return {kRegDword, data};
}

}  // namespace nx
