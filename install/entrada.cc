#include "install/entrada.h"

#include <string_view>

namespace nx {

namespace {

// How the character at text[i] is named in a message: quoted whole (all the bytes of a UTF-8
// sequence), or by its code when it cannot be shown.
std::string Nombre(const std::string& text, size_t i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x20 || c == 0x7F) return "de control (código " + std::to_string(c) + ")";
  size_t n = 1;
  while (c >= 0x80 && i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
  return "'" + text.substr(i, n) + "'";
}

bool AsciiLetraODigito(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::optional<std::string> CarpetaNoValida(const std::string& carpeta) {
  for (size_t i = 0; i < carpeta.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(carpeta[i]);
    const bool colonOfDrive = c == ':' && i == 1 && AsciiLetraODigito(carpeta[0]) &&
                              (carpeta[0] < '0' || carpeta[0] > '9');
    if (c < 0x20 || c == 0x7F || std::string_view("\"<>|*?%").find(static_cast<char>(c)) !=
                                     std::string_view::npos ||
        (c == ':' && !colonOfDrive)) {
      return "La carpeta de instalación no puede contener el carácter " + Nombre(carpeta, i) +
             ".\r\rCarpeta : " + carpeta;
    }
  }
  return std::nullopt;
}

std::optional<std::string> ServidorNoValido(const std::string& servidor) {
  if (servidor.empty()) return std::string("Indique el nombre o la dirección IP del servidor de datos.");
  for (size_t i = 0; i < servidor.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(servidor[i]);
    if (AsciiLetraODigito(c) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']') continue;
    return "El nombre del servidor no puede contener el carácter " + Nombre(servidor, i) +
           ".\r\rServidor : " + servidor;
  }
  return std::nullopt;
}

std::optional<int> PuertoDeTexto(const std::string& texto) {
  size_t begin = texto.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::nullopt;
  size_t end = texto.find_last_not_of(" \t") + 1;
  if (end - begin > 5) return std::nullopt;
  int port = 0;
  for (size_t i = begin; i < end; ++i) {
    if (texto[i] < '0' || texto[i] > '9') return std::nullopt;
    port = port * 10 + (texto[i] - '0');
  }
  if (port < 1 || port > 65534) return std::nullopt;
  return port;
}

}  // namespace nx
