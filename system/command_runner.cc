#include "system/command_runner.h"

#include "platform/platform.h"
#include "platform/process.h"
#include "platform/text.h"

namespace nx {
namespace {

// The start of a line for a message, cut at a character boundary.
std::string Head(const std::string& utf8, size_t bytes) {
  if (utf8.size() <= bytes) return utf8;
  while (bytes > 0 && (static_cast<unsigned char>(utf8[bytes]) & 0xC0) == 0x80) --bytes;
  return utf8.substr(0, bytes) + "...";
}

}  // namespace

int32_t EjecutaEspera(const std::string& linea, uint32_t show) {
  if (show > 0xFFFF) {
    throw ERangeError("Modo de ventana fuera de rango (" + std::to_string(show) +
                      "), el máximo es 65535");
  }
  if (linea.find('\0') != std::string::npos) {
    throw ERangeError("La línea de órdenes contiene un carácter nulo");
  }
  // The limit is Windows': counted in UTF-16 units, as CreateProcessW sees the line.
  const size_t units = Utf8ToUtf16(linea).size();
  if (units > kMaxCommandLine) {
    throw ERangeError("La línea de órdenes tiene " + std::to_string(units) +
                      " caracteres, el máximo es " + std::to_string(kMaxCommandLine) + ": " +
                      Head(linea, 80));
  }
  const ProcessResult result =
      CurrentPlatform().processes->RunAndWait(linea, static_cast<uint16_t>(show));
  if (!result.started) return -1;
  return static_cast<int32_t>(result.exitCode);
}

}  // namespace nx
