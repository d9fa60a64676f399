#pragma once
// Bringing the main database to the version of the update database that ships with it: both are
// reached (the engine's service started when the first attempt fails), every other user is thrown
// off the main database by a forced shutdown, no application session may come back, the update
// database's check procedure runs, and the stored schema changes above the main database's version
// are replayed in order, each marked as applied in the update database together with its run.
// The pauses go through the platform's clock.

#include <functional>
#include <string>
#include <vector>

namespace nx {

class TConexion;
class TConsulta;

// What the operation works with: the window's connections and queries, its log and a way to run
// the engine's service start command.
struct SincronizaEntorno {
  TConexion& con;   // main database
  TConexion& ConX;  // update database
  TConsulta& q;     // on con
  TConsulta& QX;    // on ConX
  // One line of the installation log; its errors are errors of the step that logs.
  std::function<void(const std::string&)> Log;
  // The command line that starts the engine's service instance, and how to run it hidden and
  // wait for it (its outcome is not looked at).
  std::string arranqueServicio;
  std::function<void(const std::string&)> EjecutaOculto;
};

// "" on success, otherwise the message for the operator. The unguarded steps (the first log line,
// the reconnection around the reset, the session check, the query of change 0 and the log lines
// outside the guarded units) raise instead. On success ConX is left open and con closed.
std::string SincronizaCambios(const SincronizaEntorno& entorno, const std::string& Host,
                              const std::string& puerto, const std::string& database);

// --- The marks of an update database across its replacement by a newer copy.
// An update killed between two changes of one version leaves its marks only in the installed
// update database; the installation replaces that file with the medium's, and the next run would
// replay an applied change, fail, and fail again on every later run. The marks are read before
// the replacement and set again after it.

// The identifiers of the changes the update database reached through `conexion` (its parameter
// block filled) marks as applied; empty when it cannot be reached or read. Leaves it closed.
std::vector<std::string> CambiosAplicados(TConexion& conexion, TConsulta& consulta);
// Marks those changes applied in it again; raises EDatabaseError when it cannot. Leaves it closed.
void MarcaAplicados(TConexion& conexion, const std::vector<std::string>& identificadores);

// --- The text rules of the operation, on UTF-8 text.

// A version as compared: every "." removed.
std::string VersionSinPuntos(const std::string& version);
// The version rule: texts without dots compared character by character by code, a prefix being
// the smaller (so 1.2.10 counts as lower than 1.2.3).
bool VersionMenor(const std::string& actual, const std::string& nueva);

// The error text with every ' turned into ´ and cut to its first 250 characters (never inside a
// character): what the log shows and ERRORES receives, safe inside a quoted SQL literal.
std::string DigestoError(const std::string& error);

// The message of the exception ERROR in a digest: from one character after the first "ERROR" up
// to the first "At " after it; "" when there is no "At ". The digest itself when it holds no
// "ERROR".
std::string MensajeExcepcion(const std::string& digesto);
// The version phase's form: when the digest holds "ERROR" but not "ERRORES", the same taken from
// the error text itself (its straight quotes kept), starting where the digest has "ERROR" and at
// most as long as the digest; otherwise the digest.
std::string MensajeExcepcion(const std::string& digesto, const std::string& error);

// True when the text reads as an integer (an optional minus and 1 to 18 digits).
bool EsIdentificadorCambio(const std::string& texto);

}  // namespace nx
