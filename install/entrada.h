#pragma once
// The operator's texts that the installation pastes into command lines: checked before anything
// is created, so that none of them can leave its quotes or change the command.

#include <optional>
#include <string>

namespace nx {

// The message naming the first character of the installation folder text that a command line
// cannot carry safely: a double quote, a control character, one of < > | * ?, a colon anywhere
// but after the drive letter, or % (which the command interpreter expands even inside quotes).
// std::nullopt when the text is sound.
std::optional<std::string> CarpetaNoValida(const std::string& carpeta);

// The same for the server's name: letters, digits, dots and hyphens, or an IPv6 literal (hex
// digits, colons, brackets). An empty name is refused too.
std::optional<std::string> ServidorNoValido(const std::string& servidor);

// The port text as a TCP port the engine can use with the one after it (1 to 65534): decimal
// digits, blanks around them allowed. std::nullopt for anything else.
std::optional<int> PuertoDeTexto(const std::string& texto);

}  // namespace nx
