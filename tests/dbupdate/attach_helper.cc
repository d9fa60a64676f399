// A separate process holding an attachment, for the forced-shutdown tests. Usage:
// dbupdate-attach-helper PORT ALIAS. Prints "attached" (or "error: ...") and then answers each
// command line on stdin with one line: "exec SQL" and "reopen" give "ok" or "error: TEXT";
// "quit" (or the end of stdin) ends it.

#include <iostream>
#include <string>

#include "dbupdate/conexion.h"
#include "dbupdate/database_error.h"
#include "dbupdate/parametros.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: dbupdate-attach-helper PORT ALIAS\n";
    return 2;
  }
  nx::TConexion con;
  nx::LlenaParametros(con.Params(), "localhost", argv[1], argv[2], nx::kCuentaAplicacion);
  const auto attempt = [&](auto action) {
    try {
      action();
      std::cout << "ok" << std::endl;
    } catch (const nx::EDatabaseError& error) {
      std::cout << "error: " << error.what() << std::endl;
    }
  };
  try {
    con.Open();
    std::cout << "attached" << std::endl;
  } catch (const nx::EDatabaseError& error) {
    std::cout << "error: " << error.what() << std::endl;
    return 1;
  }
  std::string line;
  while (std::getline(std::cin, line) && line != "quit") {
    if (line.rfind("exec ", 0) == 0) {
      attempt([&] { con.ExecuteDirect(line.substr(5)); });
    } else if (line == "reopen") {
      attempt([&] {
        con.Close();
        con.Open();
      });
    } else {
      std::cout << "error: unknown command" << std::endl;
    }
  }
  return 0;
}
