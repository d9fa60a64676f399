#pragma once
// An attachment to an engine's services manager, used to take a database down and bring it back:
// a forced shutdown throws every attachment off it (the caller's own included, which have to be
// closed and opened again). Every failure raises EDatabaseError with the engine's text.

#include <memory>
#include <string>

#include "dbupdate/parametros.h"

namespace nx {

struct ServiceState;

class TServicios {
 public:
  TServicios();
  ~TServicios();
  TServicios(const TServicios&) = delete;
  TServicios& operator=(const TServicios&) = delete;

  // "host/port"; the services manager is reached as that + ":service_mgr".
  void SetServerName(const std::string& server) { server_ = server; }
  const std::string& ServerName() const { return server_; }
  // "user_name=..." and "password=..." lines.
  TParametros& Params() { return params_; }
  // The database the actions work on: an alias, or a path on the server's machine.
  void SetDatabaseName(const std::string& database) { database_ = database; }
  const std::string& DatabaseName() const { return database_; }

  // Nothing happens when attached.
  void Attach();
  // Nothing happens when detached; never raises.
  void Detach();
  bool Active() const;

  // A forced shutdown of the database after waiting `waitSeconds` for its attachments to end.
  void Shutdown(int waitSeconds = 0);
  // Brings the database back online.
  void BringOnline();

 private:
  void StartAndWait(const std::string& request);

  std::string server_;
  TParametros params_;
  std::string database_;
  std::unique_ptr<ServiceState> state_;
};

// Server "localhost/" + puerto (the services manager of this machine), the account SYSDBA with
// the product password, and the database.
void PreparaServicios(TServicios& servicios, const std::string& puerto,
                      const std::string& database);

}  // namespace nx
