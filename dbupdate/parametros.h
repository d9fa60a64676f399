#pragma once
// The parameter block of a connection: ordered name=value lines, rebuilt before every
// connection. Names are compared without regard to letter case; the first line of a name counts.

#include <optional>
#include <string>
#include <vector>

namespace nx {

using TParametros = std::vector<std::string>;

inline constexpr char kCuentaAdministrador[] = "SYSDBA";
inline constexpr char kCuentaAplicacion[] = "norvexa";

// Clears the block and adds, in order: "Database=" + host + "/" + puerto + ":" + database,
// "User_name=" + usuario, "Password=" + the product password (built now), "SQLDialect=3", the
// driver-loader and vendor-library lines (inert), "ServerCharSet=ISO8859_1".
void LlenaParametros(TParametros& block, const std::string& host, const std::string& puerto,
                     const std::string& database, const std::string& usuario);
void LlenaParametros(TParametros& block, const std::string& host, int puerto,
                     const std::string& database, const std::string& usuario);

// The value of the first line named `name`; std::nullopt when there is none.
std::optional<std::string> ValorParametro(const TParametros& block, const std::string& name);

}  // namespace nx
