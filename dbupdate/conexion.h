#pragma once
// A database connection over the Firebird client library (the setup window's `con` and `ConX`).
// The parameter block describes the connection and is read at every Open: "Database" (the TCP
// connection string host/port:database), "User_name", "Password", "SQLDialect" (3 when missing)
// and "ServerCharSet" (ISO8859_1, WIN1252 or UTF8), the character set in which all text crosses
// the connection; other lines are ignored. Text given to and read from the connection is UTF-8.
// Every failure raises EDatabaseError.

#include <memory>
#include <string>

#include "dbupdate/parametros.h"

namespace nx {

class TConsulta;
class TTransaccion;
struct ConnectionState;

class TConexion {
 public:
  TConexion();
  ~TConexion();
  TConexion(const TConexion&) = delete;
  TConexion& operator=(const TConexion&) = delete;

  TParametros& Params();
  const TParametros& Params() const;

  // Attaches as the block says. Nothing happens when already open. A drive-letter database on
  // this machine is opened under the name this machine gives the file; the block keeps the text.
  void Open();
  // Closes the queries still open on it and detaches. Nothing happens when closed. Never raises:
  // an attachment the server has already ended (a forced shutdown) counts as closed all the same.
  void Close();
  bool Connected() const;

  // Runs one statement without parameters or result rows in a transaction of its own, committed
  // at once; on failure the transaction is rolled back, so the statement leaves no effect. Queries
  // open on the connection are not disturbed.
  void ExecuteDirect(const std::string& sql);

 private:
  friend class TConsulta;
  friend class TTransaccion;
  std::unique_ptr<ConnectionState> state_;
};

}  // namespace nx
