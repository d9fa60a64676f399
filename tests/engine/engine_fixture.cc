#include "tests/engine/engine_fixture.h"

#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "dbupdate/conexion.h"
#include "dbupdate/consulta.h"
#include "dbupdate/parametros.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nx::enginetest {

namespace fs = std::filesystem;

std::string SampleMedium(const std::string& name) {
  std::string folder = std::string(NX_MEDIUM_DIR) + "/" + name;
  if (!fs::exists(folder + "/.nxmedium"))
    throw std::runtime_error("the sample medium " + folder + " is missing; build the \"medium\" target");
  return folder;
}

void CopyTree(const std::string& from, const std::string& to) {
  fs::create_directories(to);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string Engine::Instsvc(const std::string& action) const {
  return "\"" + toolFolder() + "instsvc\" " + action + " " + service();
}

void SetEntry(ScratchMachine& machine, const std::string& windowsFile, const std::string& name,
              const std::string& value) {
  std::string text = machine.Exists(windowsFile) ? DecodeTextFile(machine.ReadFile(windowsFile)) : "";
  std::istringstream in(text);
  std::string line, out;
  bool replaced = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (!replaced && eq != std::string::npos && EqualsIgnoreCase(line.substr(0, eq), name)) {
      replaced = true;  // the first entry goes; the new one is appended
      continue;
    }
    out += line + "\r\n";
  }
  out += name + "=" + value + "\r\n";
  machine.WriteFile(windowsFile, ToSystemCodePage(out));
}

Engine PutEngine(ScratchMachine& machine, const std::string& mediumFolder, bool generation3,
                 uint16_t port, const std::string& installFolder) {
  Engine engine{installFolder, generation3, port};
  const std::string gen = engine.gen();
  machine.platform().files->CreateDirectories(installFolder + "DataBase");
  CopyTree(mediumFolder + "/firebird" + gen, machine.HostPath(installFolder) + "/firebird" + gen);
  for (const fs::directory_entry& entry : fs::directory_iterator(mediumFolder + "/DataBase"))
    fs::copy_file(entry.path(), machine.HostPath(installFolder + "DataBase") + "/" + entry.path().filename().string());
  SetEntry(machine, engine.engineFolder() + "firebird.conf", "RemoteServicePort", std::to_string(port));
  SetEntry(machine, engine.engineFolder() + "firebird.conf", "RemoteAuxPort", std::to_string(port + 1));
  SetEntry(machine, engine.aliasFile(), "Gestion", installFolder + "Database\\Gestion" + gen + ".FDB");
  SetEntry(machine, engine.aliasFile(), "GestionX", installFolder + "Database\\Gestion" + gen + "X.FDB");
  return engine;
}

ProcessResult RunCommand(const std::string& commandLine) {
  return CurrentPlatform().processes->RunAndWait(commandLine, kSwHide);
}

std::vector<std::string> Query(uint16_t port, const std::string& database, const std::string& sql,
                               const std::string& account) {
  TConexion connection;
  LlenaParametros(connection.Params(), "localhost", port, database, account);
  connection.Open();
  std::vector<std::string> rows;
  {
    TConsulta query(connection);
    query.SetSQL(sql);
    query.Open();
    for (; !query.Eof(); query.Next()) rows.push_back(query.FieldAsString(0));
    query.Close();
  }
  connection.Close();
  return rows;
}

bool CanConnect(uint16_t port, const std::string& database, const std::string& account) {
  try {
    TConexion connection;
    LlenaParametros(connection.Params(), "localhost", port, database, account);
    connection.Open();
    connection.Close();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace nx::enginetest
