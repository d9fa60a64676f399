#include "dbupdate/parametros.h"

#include "dbupdate/password.h"
#include "platform/text.h"

namespace nx {

void LlenaParametros(TParametros& block, const std::string& host, const std::string& puerto,
                     const std::string& database, const std::string& usuario) {
  block.clear();
  block.push_back("Database=" + host + "/" + puerto + ":" + database);
  block.push_back("User_name=" + usuario);
  block.push_back("Password=" + ProductPassword());
  block.push_back("SQLDialect=3");
  block.push_back("DriverPackageLoader=TDBXDynalinkDriverLoader,DbxCommonDriver140.bpl");
  block.push_back("VendorLib=fbclient.DLL");
  block.push_back("ServerCharSet=ISO8859_1");
}

void LlenaParametros(TParametros& block, const std::string& host, int puerto,
                     const std::string& database, const std::string& usuario) {
  LlenaParametros(block, host, std::to_string(puerto), database, usuario);
}

std::optional<std::string> ValorParametro(const TParametros& block, const std::string& name) {
  for (const std::string& line : block) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (EqualsIgnoreCase(line.substr(0, equals), name)) return line.substr(equals + 1);
  }
  return std::nullopt;
}

}  // namespace nx
