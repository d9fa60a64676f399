#include "app/maquina.h"

#include "platform/error.h"
#include "platform/platform.h"

namespace nx {

std::string Entorno(const std::string& nombre) {
  return CurrentPlatform().environment->Get(nombre).value_or("");
}

bool ExisteCarpeta(const std::string& carpeta) {
  try {
    return CurrentPlatform().files->DirectoryExists(carpeta);
  } catch (const OsError&) {
    return false;
  }
}

bool ExisteFichero(const std::string& fichero) {
  try {
    return CurrentPlatform().files->FileExists(fichero);
  } catch (const OsError&) {
    return false;
  }
}

void CreaCarpetas(const std::string& carpeta) {
  try {
    CreaCarpetasOFalla(carpeta);
  } catch (const OsError&) {
  }
}

void CreaCarpetasOFalla(const std::string& carpeta) { CurrentPlatform().files->CreateDirectories(carpeta); }

}  // namespace nx
