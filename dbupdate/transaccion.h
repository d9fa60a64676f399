#pragma once
// One transaction over two attachments (the main and the update database): statements run in it
// on either connection, and its commit is the engine's two-phase commit, so both databases keep
// their statements or neither does. A statement that fails leaves the transaction to be rolled
// back; a failed commit rolls it back. Every failure raises EDatabaseError.

#include <string>

#include "dbupdate/client_library.h"

namespace nx {

class TConexion;

class TTransaccion {
 public:
  TTransaccion() = default;
  // Rolls back what was not committed.
  ~TTransaccion();
  TTransaccion(const TTransaccion&) = delete;
  TTransaccion& operator=(const TTransaccion&) = delete;

  // Starts over a and b, both open (the same connection twice starts over it alone). A
  // transaction still active is rolled back first.
  void Start(TConexion& a, TConexion& b);
  bool Active() const { return tr_ != 0; }

  // Runs one statement without parameters or result rows on one of the two connections.
  void ExecuteDirect(TConexion& on, const std::string& sql);
  void Commit();
  // Never raises; nothing happens when not active.
  void Rollback();

 private:
  void Check(const TConexion& on) const;

  const ClientLibrary* fb_ = nullptr;
  isc_tr_handle tr_ = 0;
  const TConexion* a_ = nullptr;
  const TConexion* b_ = nullptr;
  int codePage_ = 0;  // for errors of the transaction itself (a's)
};

// Runs sqlA on a and sqlB on b in one transaction over both and commits it: both take effect or
// neither does.
void EjecutaJuntos(TConexion& a, const std::string& sqlA, TConexion& b, const std::string& sqlB);

}  // namespace nx
