#pragma once
// The few facts of the machine the window's handlers and installation steps look at directly,
// through the current platform: environment variables, folders and files.

#include <string>

namespace nx {

// The variable's value, "" when it is not set.
std::string Entorno(const std::string& nombre);
// A folder test that never throws: a path the system cannot reach is no folder.
bool ExisteCarpeta(const std::string& carpeta);
bool ExisteFichero(const std::string& fichero);
// Creates the folder with every missing parent; whether it worked is not looked at, as the
// copies that follow create what they need.
void CreaCarpetas(const std::string& carpeta);
// The same, passing the failure on.
void CreaCarpetasOFalla(const std::string& carpeta);

}  // namespace nx
