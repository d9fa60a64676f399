#include "dbupdate/sincroniza_cambios.h"

#include <exception>

#include "dbupdate/conexion.h"
#include "dbupdate/consulta.h"
#include "dbupdate/database_error.h"
#include "dbupdate/parametros.h"
#include "dbupdate/servicios.h"
#include "dbupdate/transaccion.h"
#include "platform/platform.h"

namespace nx {

namespace {

constexpr char kAcento[] = "\xC2\xB4";  // ´, which Latin-1 holds
constexpr size_t kLargoDigesto = 250;

constexpr char kProblemas[] = "Problemas al actualizar base de datos.";
constexpr char kSinConexion[] = "Problemas al conectar con el servidor de datos.";
constexpr char kNoReinicia[] = "No se puede continuar. problema a reiniciar la base de datos";
constexpr char kSesiones[] = "No se puede actualizar hay sesiones activas.";

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset of the character numbered `characters` (the end when there are fewer).
size_t OffsetOfCharacter(const std::string& text, size_t characters) {
  size_t offset = 0;
  while (offset < text.size() && characters > 0) {
    ++offset;
    while (offset < text.size() && IsContinuation(text[offset])) ++offset;
    --characters;
  }
  return offset;
}

size_t CharacterCount(const std::string& text, size_t bytes = std::string::npos) {
  size_t count = 0;
  for (size_t i = 0; i < text.size() && i < bytes; ++i)
    if (!IsContinuation(text[i])) ++count;
  return count;
}

bool Contains(const std::string& text, const char* piece) {
  return text.find(piece) != std::string::npos;
}

// What stands before the first "At "; "" when there is none.
std::string BeforeLocation(const std::string& text) {
  const size_t at = text.find("At ");
  return at == std::string::npos ? std::string() : text.substr(0, at);
}

void Pause(int milliseconds) { CurrentPlatform().clock->Sleep(milliseconds); }

// Up to four attempts to open a connection, each one unit that fails on its first error (its log
// line included). `primera` is logged after the first opening; each retry logs its line after its
// pause, and the first retry may start the engine's service before opening.
bool Conecta(TConexion& conexion, const SincronizaEntorno& entorno, const std::string& primera,
             const std::string& sufijo, bool arrancaServicio) {
  try {
    conexion.Open();
    entorno.Log(primera);
    return true;
  } catch (const std::exception&) {
  }
  static constexpr int kPausas[] = {1000, 2000, 3000};
  for (int intento = 1; intento <= 3; ++intento) {
    Pause(kPausas[intento - 1]);
    try {
      entorno.Log("actualizando : conectado espera " + std::to_string(intento) + sufijo);
      if (intento == 1 && arrancaServicio) entorno.EjecutaOculto(entorno.arranqueServicio);
      conexion.Open();
      return true;
    } catch (const std::exception&) {
    }
  }
  return false;
}

// Column 0 of the first row of a query, dots removed; a table without rows is an error naming it,
// so that nothing is replayed against an unknown version.
std::string LeeVersion(TConsulta& consulta, const std::string& sql, const std::string& tabla,
                       const std::string& baseDeDatos) {
  consulta.Close();
  consulta.SetSQL(sql);
  consulta.Open();
  if (consulta.Eof()) {
    consulta.Close();
    throw EDatabaseError("La tabla " + tabla + " de la base de datos " + baseDeDatos +
                         " no tiene ninguna fila: no se conoce su versión.");
  }
  std::string version = VersionSinPuntos(consulta.FieldAsString(0));
  consulta.Close();
  return version;
}

}  // namespace

std::string VersionSinPuntos(const std::string& version) {
  std::string out;
  for (char c : version)
    if (c != '.') out += c;
  return out;
}

bool VersionMenor(const std::string& actual, const std::string& nueva) {
  // std::string compares by unsigned character code, a prefix first.
  return VersionSinPuntos(actual) < VersionSinPuntos(nueva);
}

std::string DigestoError(const std::string& error) {
  std::string digest;
  for (char c : error) {
    if (c == '\'') {
      digest += kAcento;
    } else {
      digest += c;
    }
  }
  return digest.substr(0, OffsetOfCharacter(digest, kLargoDigesto));
}

std::string MensajeExcepcion(const std::string& digesto) {
  const size_t error = digesto.find("ERROR");
  if (error == std::string::npos) return digesto;
  const size_t start = OffsetOfCharacter(digesto, CharacterCount(digesto, error) + 6);
  return BeforeLocation(digesto.substr(start));
}

std::string MensajeExcepcion(const std::string& digesto, const std::string& error) {
  const size_t found = digesto.find("ERROR");
  if (found == std::string::npos || Contains(digesto, "ERRORES")) return digesto;
  // The digest and the error text hold the same characters up to the cut (´ for ').
  const size_t start = OffsetOfCharacter(error, CharacterCount(digesto, found) + 6);
  const std::string rest = error.substr(start);
  return BeforeLocation(rest.substr(0, OffsetOfCharacter(rest, CharacterCount(digesto))));
}

bool EsIdentificadorCambio(const std::string& texto) {
  size_t i = texto.size() > 0 && texto[0] == '-' ? 1 : 0;
  const size_t digits = texto.size() - i;
  if (digits == 0 || digits > 18) return false;
  for (; i < texto.size(); ++i)
    if (texto[i] < '0' || texto[i] > '9') return false;
  return true;
}

std::vector<std::string> CambiosAplicados(TConexion& conexion, TConsulta& consulta) {
  std::vector<std::string> identificadores;
  try {
    conexion.Open();
    consulta.Close();
    consulta.SetSQL("SELECT ID_CAMBIO FROM CAMBIOS_BD WHERE APLICADO='S' AND ID_CAMBIO>0");
    consulta.Open();
    for (; !consulta.Eof(); consulta.Next()) {
      const std::string id = consulta.FieldAsString(0);
      if (EsIdentificadorCambio(id)) identificadores.push_back(id);
    }
    consulta.Close();
  } catch (const std::exception&) {
    // Unreachable now means unreachable for the update too, which then restores the backup
    // (whose copy of the update database keeps its marks).
    identificadores.clear();
  }
  consulta.Close();
  conexion.Close();
  return identificadores;
}

void MarcaAplicados(TConexion& conexion, const std::vector<std::string>& identificadores) {
  if (identificadores.empty()) return;
  try {
    conexion.Open();
    // The engine takes at most 1,500 values in one IN list.
    constexpr size_t kPorSentencia = 1000;
    for (size_t i = 0; i < identificadores.size(); i += kPorSentencia) {
      std::string lista;
      for (size_t k = i; k < identificadores.size() && k < i + kPorSentencia; ++k)
        lista += (lista.empty() ? "" : ",") + identificadores[k];
      conexion.ExecuteDirect("UPDATE CAMBIOS_BD SET APLICADO='S' WHERE ID_CAMBIO IN (" + lista + ")");
    }
  } catch (...) {
    conexion.Close();
    throw;
  }
  conexion.Close();
}

std::string SincronizaCambios(const SincronizaEntorno& entorno, const std::string& Host,
                              const std::string& puerto, const std::string& database) {
  TConexion& con = entorno.con;
  TConexion& ConX = entorno.ConX;
  TConsulta& q = entorno.q;
  TConsulta& QX = entorno.QX;
  const auto& Log = entorno.Log;

  bool ok = true;
  std::string mensaje;

  LlenaParametros(con.Params(), Host, puerto, database, kCuentaAplicacion);
  LlenaParametros(ConX.Params(), Host, puerto, database + "X", kCuentaAplicacion);
  Log("actualizando : antes de conectar Database=" + Host + "/" + puerto + ":" + database);

  if (!Conecta(con, entorno, "actualizando : conectado ", "", true)) {
    ok = false;
    mensaje = std::string(kSinConexion) +
              "\r Posiblemente tenga que configurar el firewall o antivirus.\rEjecute el setup "
              "otra vez.";
    Log(kSinConexion);
  }

  if (ok && !Conecta(ConX, entorno, "actualizando : conectado a X ", " X", false)) {
    ok = false;
    mensaje =
        "Problemas al conectar con la base de datos de actualizciones X.\r Posiblemente tenga "
        "que configurar el firewall o antivirus.\rEjecute el setup otra vez.";
    Log(kSinConexion);
  }

  if (ok) {
    con.Close();
    ConX.Close();
    Log("Reseteando base de datos.");
    TServicios servicios;
    PreparaServicios(servicios, puerto, database);
    try {
      servicios.Attach();
      servicios.Shutdown(0);
      Log("Reseteando base de datos shutdown.");
    } catch (const std::exception&) {
      ok = false;
      Log(kNoReinicia);
    }
    try {
      Log("Reseteando base de datos startup.");
      Pause(2000);
      servicios.BringOnline();
    } catch (const std::exception&) {
      ok = false;
      Log(kNoReinicia);
    }
    servicios.Detach();
    con.Open();
    ConX.Open();
  }

  if (ok) {
    con.ExecuteDirect(" DELETE FROM SESIONES");
    Log("Comprobando sesiones activas.");
    Pause(5000);
    q.SetSQL("select id_sesion from sesiones");
    q.Open();
    ok = q.Eof();
    q.Close();
    if (!ok) {
      Log(kSesiones);
      mensaje = kSesiones;
    }
  }

  if (ok) {
    Log("actualizando :  procedimiento de comprobaciones");
    try {
      con.ExecuteDirect("CREATE EXCEPTION ERROR 'Problema no definido'");
    } catch (const std::exception&) {
      // It usually exists already.
    }
    std::string marca;
    QX.SetSQL(" SELECT SENTENCIA FROM CAMBIOS_BD where id_cambio=0");
    QX.Open();
    if (QX.Eof()) {
      marca = "N";
    } else {
      try {
        con.ExecuteDirect(QX.FieldAsString(0));
      } catch (const std::exception& error) {
        Log(std::string("actualizando :  procedimiento de comprobaciones con errores. \r") +
            error.what());
        marca = "N";
        mensaje = "Procedimiento de comprobaciones erroneo";
        ok = false;
      }
    }
    QX.Close();
    if (marca.empty()) {
      Log("ejecutando :  procedimiento de comprobaciones");
      try {
        con.ExecuteDirect("execute procedure comprobaciones_Actualizar");
      } catch (const std::exception& error) {
        ok = false;
        const std::string digesto = DigestoError(error.what());
        Log("Ejecutando comprobaciones Error : " + digesto);
        mensaje = MensajeExcepcion(digesto);
      }
    }
  }

  if (ok) {
    Log("actualizando :  sincroniza version nueva");
    try {
      ConX.ExecuteDirect(" DELETE FROM ERRORES ");
      const std::string nueva = LeeVersion(QX, "SELECT FIRST 1 VERSION FROM EJECUTABLE",
                                           "EJECUTABLE", "de actualización");
      const std::string actual = LeeVersion(q, "select first 1 version from CONFIGURACION",
                                            "CONFIGURACION", "principal");
      if (VersionMenor(actual, nueva)) {
        QX.Close();
        QX.SetSQL(std::string(" SELECT SENTENCIA,id_cambio FROM CAMBIOS_BD  WHERE "
                              "REPLACE(VERSION,'.','')>'") +
                  actual + "'" + " AND  REPLACE(VERSION,'.','')<='" + nueva + "'" +
                  " and id_cambio>0 " + " AND APLICADO='N' ORDER BY VERSION, ORDEN ");
        QX.Open();
        while (!QX.Eof() && ok) {
          const std::string sentencia = QX.FieldAsString(0);
          const std::string id = QX.FieldAsString(1);
          const bool idValido = EsIdentificadorCambio(id);
          try {
            if (!idValido) {
              throw EDatabaseError("El identificador de cambio \"" + id +
                                   "\" no es un número entero: el cambio no se ejecuta.");
            }
            // The change and its mark commit together, so neither can stay without the other.
            EjecutaJuntos(con, sentencia, ConX,
                          "UPDATE CAMBIOS_BD SET APLICADO='S' WHERE ID_CAMBIO=" + id);
          } catch (const std::exception& error) {
            ok = false;
            const std::string digesto = DigestoError(error.what());
            Log("Ejecutando sincroniza version : " + digesto);
            ConX.ExecuteDirect("INSERT INTO ERRORES (ID_CAMBIO,ERROR) VALUES (" +
                               (idValido ? id : std::string("NULL")) + ",'" + digesto + "')");
          }
          QX.Next();
        }
        QX.Close();
      }
    } catch (const std::exception& error) {
      ok = false;
      const std::string digesto = DigestoError(error.what());
      Log("Ejecutando sincroniza version : " + digesto);
      mensaje = MensajeExcepcion(digesto, error.what());
    }
  }

  if (ok) {
    con.Close();
    Log("Actualizanción : sincroniza cambios terminado");
    return std::string();
  }
  if (mensaje.empty()) mensaje = kProblemas;
  Log(std::string(kProblemas) + " Intente de nuevo la instalación.");
  return mensaje;
}

}  // namespace nx
