#include "dbupdate/transaccion.h"

#include "dbupdate/conexion.h"
#include "dbupdate/connection_state.h"
#include "dbupdate/connection_text.h"
#include "dbupdate/database_error.h"

namespace nx {

TTransaccion::~TTransaccion() { Rollback(); }

void TTransaccion::Start(TConexion& a, TConexion& b) {
  Rollback();
  if (!a.Connected() || !b.Connected()) throw EDatabaseError("La conexión no está abierta.");
  const ClientLibrary& fb = *a.state_->fb;
  const unsigned short tpbLength = static_cast<unsigned short>(sizeof kStatementTransaction);
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  isc_tr_handle tr = 0;
  if (&a == &b) {
    fb.isc_start_transaction(status, &tr, 1, &a.state_->db, tpbLength, kStatementTransaction);
  } else {
    fb.isc_start_transaction(status, &tr, 2, &a.state_->db, tpbLength, kStatementTransaction,
                             &b.state_->db, tpbLength, kStatementTransaction);
  }
  if (Failed(status)) ThrowStatus(fb, status, a.state_->codePage);
  fb_ = &fb;
  tr_ = tr;
  a_ = &a;
  b_ = &b;
  codePage_ = a.state_->codePage;
}

void TTransaccion::Check(const TConexion& on) const {
  if (!Active()) throw EDatabaseError("La transacción no está activa.");
  if (&on != a_ && &on != b_) {
    throw EDatabaseError("La conexión no forma parte de la transacción.");
  }
  if (!on.Connected()) throw EDatabaseError("La conexión no está abierta.");
}

void TTransaccion::ExecuteDirect(TConexion& on, const std::string& sql) {
  Check(on);
  const ConnectionState& state = *on.state_;
  const std::string text = ToConnectionText(sql, state.codePage, "la sentencia");
  // NUL-terminated, as an explicit length is 16-bit: a NUL inside would cut it short.
  if (text.find('\0') != std::string::npos) {
    throw EDatabaseError("La sentencia contiene un carácter nulo.");
  }
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  isc_db_handle db = state.db;
  fb_->isc_dsql_execute_immediate(status, &db, &tr_, 0, text.c_str(), state.dialect, nullptr);
  if (Failed(status)) ThrowStatus(*fb_, status, state.codePage);
}

void TTransaccion::Commit() {
  if (!Active()) throw EDatabaseError("La transacción no está activa.");
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  fb_->isc_commit_transaction(status, &tr_);
  if (!Failed(status)) {
    tr_ = 0;
    return;
  }
  EDatabaseError failure = StatusError(*fb_, status, codePage_);
  Rollback();
  throw failure;
}

void TTransaccion::Rollback() {
  if (!Active()) return;
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  fb_->isc_rollback_transaction(status, &tr_);
  // An attachment already ended by the server leaves nothing to roll back.
  tr_ = 0;
}

void EjecutaJuntos(TConexion& a, const std::string& sqlA, TConexion& b, const std::string& sqlB) {
  TTransaccion transaccion;
  transaccion.Start(a, b);
  transaccion.ExecuteDirect(a, sqlA);
  transaccion.ExecuteDirect(b, sqlB);
  transaccion.Commit();
}

}  // namespace nx
