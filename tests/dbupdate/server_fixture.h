#pragma once
// A private server with the database "Gestion" for the whole suite; tests name their own tables.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbupdate/conexion.h"
#include "dbupdate/consulta.h"
#include "dbupdate/parametros.h"
#include "tools/firebird/private_server.h"

namespace nx {

class ServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = PrivateServer::StartScratch();
    server_->CreateDatabase("Gestion");
  }
  static void TearDownTestSuite() { server_.reset(); }

  static std::string Port() { return std::to_string(server_->port()); }

  static void Fill(TConexion& con, const std::string& database = "Gestion",
                   const std::string& user = kCuentaAplicacion) {
    LlenaParametros(con.Params(), "localhost", Port(), database, user);
  }
  static void Connect(TConexion& con, const std::string& database = "Gestion") {
    Fill(con, database);
    con.Open();
  }

  // Column 0 of the first row of a query, read on a connection of its own.
  static std::string Scalar(const std::string& sql) {
    TConexion con;
    Connect(con);
    TConsulta q(con);
    q.SetSQL(sql);
    q.Open();
    std::string value = q.Eof() ? "<no row>" : q.FieldAsString(0);
    q.Close();
    return value;
  }

  inline static std::unique_ptr<PrivateServer> server_;
};

}  // namespace nx
