#include <string_view>

#include "platform/error.h"

namespace nx {

namespace {

struct Message {
  uint32_t code;
  std::string_view text;
};

// FormatMessage's texts on a Spanish system (FORMAT_MESSAGE_IGNORE_INSERTS: "%1" stays as is).
constexpr Message kMessages[] = {
    {0, "La operación se completó correctamente."},
    {1, "Función incorrecta."},
    {2, "El sistema no puede encontrar el archivo especificado."},
    {3, "El sistema no puede encontrar la ruta especificada."},
    {4, "El sistema no puede abrir el archivo."},
    {5, "Acceso denegado."},
    {6, "Controlador no válido."},
    {8, "No hay suficiente espacio de almacenamiento para procesar este comando."},
    {11, "Se ha intentado cargar un programa con un formato incorrecto."},
    {13, "Los datos no son válidos."},
    {17, "El sistema no puede mover el archivo a una unidad de disco distinta."},
    {19, "El medio está protegido contra escritura."},
    {29, "El sistema no puede escribir en el dispositivo especificado."},
    {30, "El sistema no puede leer desde el dispositivo especificado."},
    {32, "El proceso no tiene acceso al archivo porque está siendo utilizado por otro proceso."},
    {39, "El disco está lleno."},
    {80, "El archivo existe."},
    {87, "El parámetro no es correcto."},
    {112, "No hay espacio suficiente en el disco."},
    {122, "El área de datos transferida a una llamada del sistema es demasiado pequeña."},
    {123, "La sintaxis del nombre del archivo, del directorio o de la etiqueta del volumen no es correcta."},
    {145, "El directorio no está vacío."},
    {161, "La ruta de acceso especificada no es válida."},
    {183, "No se puede crear un archivo que ya existe."},
    {193, "%1 no es una aplicación Win32 válida."},
    {203, "El sistema no pudo encontrar la opción de entorno especificada."},
    {206, "El nombre del archivo o la extensión es demasiado largo."},
    {234, "Hay más datos disponibles."},
    {259, "No hay más datos disponibles."},
    {267, "El nombre del directorio no es válido."},
    {1009, "La base de datos del Registro de configuración está dañada."},
    {1010, "La clave del Registro de configuración no es válida."},
    {1011, "No se pudo abrir la clave del Registro de configuración."},
    {1012, "No se pudo leer la clave del Registro de configuración."},
    {1013, "No se pudo escribir la clave del Registro de configuración."},
    {1016, "Una operación de E/S iniciada por el Registro falló de forma irrecuperable. El Registro no "
           "pudo leer, escribir o vaciar uno de los archivos que contienen la imagen del sistema del "
           "Registro."},
    {1018, "Se intentó realizar una operación no válida en una clave del Registro marcada para su "
           "eliminación."},
    {1113, "No existe asignación para el carácter Unicode en la página de códigos multibyte de destino."},
    {1619, "No se pudo abrir este paquete de instalación. Compruebe que el paquete existe y que puede "
           "obtener acceso a él, o póngase en contacto con el proveedor de la aplicación para comprobar "
           "que es un paquete válido de Windows Installer."},
};

}  // namespace

std::string SystemMessage(uint32_t code) {
  for (const Message& m : kMessages) {
    if (m.code == code) return std::string(m.text);
  }
  return "Error del sistema " + std::to_string(code) + " (no hay texto para este código).";
}

}  // namespace nx
