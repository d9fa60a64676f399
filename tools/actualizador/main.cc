// actualizador.exe of the sample medium: the application's updater. The installer starts it as
//   "<application folder>\actualizador2.exe" <host>/<port>:<alias of the update database> "<application folder>\NO"
// It connects to the update database as the application's account, reads the version and the
// program that EJECUTABLE carries, writes that program into the application folder (the folder of
// the second argument; its last part, "NO", asks not to start the application afterwards) and
// records what it saw in the machine's shared data folder, actualizador.log. Exit code 0 when the
// program is in place, 1 otherwise (the installer ignores it).

#include <cstdio>
#include <string>
#include <vector>

#include "dbupdate/conexion.h"
#include "dbupdate/consulta.h"
#include "dbupdate/parametros.h"
#include "platform/command_line.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "tools/medium/run_record.h"

int main() {
  nx::medium::RunFields fields;
  int exitCode = 1;
  try {
    std::string commandLine = nx::ProgramCommandLine();
    fields.push_back({"commandline", commandLine});
    fields.push_back({"folder", nx::ProgramFolder()});
    std::vector<std::string> words = nx::SplitCommandLine(commandLine);
    if (words.size() < 3) throw std::runtime_error("uso: actualizador servidor/puerto:basededatos carpeta\\NO");
    const std::string& database = words[1];
    std::string target = words[2];
    size_t slash = target.find_last_of('\\');
    std::string folder = slash == std::string::npos ? "" : target.substr(0, slash);
    std::string flag = slash == std::string::npos ? target : target.substr(slash + 1);
    fields.push_back({"database", database});
    fields.push_back({"applicationfolder", folder});
    fields.push_back({"flag", flag});

    nx::TConexion connection;
    nx::LlenaParametros(connection.Params(), "localhost", 0, "x", nx::kCuentaAplicacion);
    connection.Params()[0] = "Database=" + database;  // given whole, as the installer wrote it
    connection.Open();
    fields.push_back({"connected", "S"});
    nx::TConsulta query(connection);
    query.SetSQL("SELECT FIRST 1 VERSION, NOMBRE, FICHERO FROM EJECUTABLE");
    query.Open();
    if (query.Eof()) throw std::runtime_error("EJECUTABLE está vacía");
    std::string version = query.FieldAsString(0);
    std::string program = query.FieldAsString(1);
    std::string content = query.FieldAsString(2);
    query.Close();
    connection.Close();
    fields.push_back({"version", version});
    fields.push_back({"program", program});
    if (folder.empty()) throw std::runtime_error("no hay carpeta de la aplicación en \"" + target + "\"");
    nx::Platform& platform = nx::CurrentPlatform();
    platform.files->CreateDirectories(folder);
    platform.files->WriteFile(folder + "\\" + program, nx::ToSystemCodePage(content));
    fields.push_back({"written", folder + "\\" + program});
    exitCode = 0;
  } catch (const std::exception& e) {
    fields.push_back({"error", e.what()});
    std::fprintf(stderr, "actualizador: %s\n", e.what());
  }
  try {
    nx::medium::AppendRunRecord("actualizador.log", "actualizador", fields);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "actualizador: %s\n", e.what());
    return 1;
  }
  return exitCode;
}
