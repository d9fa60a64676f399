#include "system/command_runner.h"

#include "platform/platform.h"
#include "platform/process.h"
#include "platform/text.h"

namespace nx {

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
                      linea.substr(0, 80) + "...");
  }
  const ProcessResult result =
      CurrentPlatform().processes->RunAndWait(linea, static_cast<uint16_t>(show));
  if (!result.started) return -1;
  return static_cast<int32_t>(result.exitCode);
}

}  // namespace nx
