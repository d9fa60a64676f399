#include "dbupdate/conexion.h"

#include <algorithm>

#include "dbupdate/client_library.h"
#include "dbupdate/connection_state.h"
#include "dbupdate/connection_text.h"
#include "dbupdate/consulta.h"
#include "dbupdate/database_error.h"
#include "dbupdate/dynamic_library.h"
#include "dbupdate/server_path.h"

namespace nx {

namespace {

std::string Required(const TParametros& block, const char* name) {
  std::optional<std::string> value = ValorParametro(block, name);
  if (!value.has_value() || value->empty()) {
    throw EDatabaseError(std::string("El bloque de parámetros de la conexión no tiene la línea ") +
                         name + ".");
  }
  return *value;
}

// A DPB string item; its length is one byte.
void AddItem(std::string& dpb, char item, const std::string& value, const char* name) {
  if (value.size() > 255) {
    throw EDatabaseError(std::string("El valor de ") + name +
                         " del bloque de parámetros es demasiado largo.");
  }
  dpb += item;
  dpb += static_cast<char>(value.size());
  dpb += value;
}

}  // namespace

TConexion::TConexion() : state_(std::make_unique<ConnectionState>()) {}

TConexion::~TConexion() {
  Close();
  for (TConsulta* query : state_->queries) query->conexion_ = nullptr;
}

TParametros& TConexion::Params() { return state_->params; }
const TParametros& TConexion::Params() const { return state_->params; }

bool TConexion::Connected() const { return state_->db != 0; }

void TConexion::Open() {
  if (Connected()) return;
  const TParametros& block = state_->params;

  // Nothing of the block (the login above all) goes into a message: only the names of lines.
  const std::string database = Required(block, "Database");
  const std::string user = Required(block, "User_name");
  const std::string password = ValorParametro(block, "Password").value_or("");
  const std::string charset = Required(block, "ServerCharSet");
  const int codePage = ConnectionCodePage(charset);
  if (codePage == 0) {
    throw EDatabaseError("El juego de caracteres \"" + charset +
                         "\" de la conexión no está admitido (ISO8859_1, WIN1252 o UTF8).");
  }
  unsigned short dialect = 3;
  if (std::optional<std::string> text = ValorParametro(block, "SQLDialect"); text.has_value()) {
    if (*text != "1" && *text != "2" && *text != "3") {
      throw EDatabaseError("El dialecto SQL \"" + *text + "\" de la conexión no es válido.");
    }
    dialect = static_cast<unsigned short>((*text)[0] - '0');
  }

  const ClientLibrary& fb = FbClient();
  const std::string target = ServerConnectionString(database);

  // Names and the login travel in UTF-8 (isc_dpb_utf8_filename); the engine converts them.
  std::string dpb(1, static_cast<char>(isc_dpb_version1));
  dpb += static_cast<char>(isc_dpb_utf8_filename);
  dpb += '\0';
  AddItem(dpb, isc_dpb_user_name, user, "User_name");
  AddItem(dpb, isc_dpb_password, password, "Password");
  AddItem(dpb, isc_dpb_lc_ctype, charset, "ServerCharSet");
  dpb += static_cast<char>(isc_dpb_sql_dialect);
  dpb += '\1';
  dpb += static_cast<char>(dialect);

  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  isc_db_handle db = 0;
  {
    ClientFileNameScope names;
    fb.isc_attach_database(status, 0, target.c_str(), &db, static_cast<short>(dpb.size()),
                           dpb.data());
  }
  std::fill(dpb.begin(), dpb.end(), '\0');
  if (Failed(status)) ThrowStatus(fb, status, codePage);
  state_->fb = &fb;
  state_->db = db;
  state_->codePage = codePage;
  state_->dialect = dialect;
}

void TConexion::Close() {
  if (!Connected()) return;
  for (TConsulta* query : state_->queries) query->Release();
  // A failed detach (the server ended the attachment) still leaves nothing to close.
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  state_->fb->isc_detach_database(status, &state_->db);
  state_->db = 0;
}

void TConexion::ExecuteDirect(const std::string& sql) {
  if (!Connected()) throw EDatabaseError("La conexión no está abierta.");
  const std::string text = ToConnectionText(sql, state_->codePage, "la sentencia");
  // The statement goes NUL-terminated (an explicit length is 16-bit and wraps): a NUL inside it
  // would silently cut it short.
  if (text.find('\0') != std::string::npos) {
    throw EDatabaseError("La sentencia contiene un carácter nulo.");
  }
  const ClientLibrary& fb = *state_->fb;
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  isc_tr_handle tr = 0;
  fb.isc_start_transaction(status, &tr, 1, &state_->db,
                           static_cast<unsigned short>(sizeof kStatementTransaction),
                           kStatementTransaction);
  if (Failed(status)) ThrowStatus(fb, status, state_->codePage);

  fb.isc_dsql_execute_immediate(status, &state_->db, &tr, 0, text.c_str(), state_->dialect,
                                nullptr);
  if (!Failed(status)) {
    fb.isc_commit_transaction(status, &tr);
    if (!Failed(status)) return;
  }
  EDatabaseError failure = StatusError(fb, status, state_->codePage);
  if (tr != 0) {
    ISC_STATUS ignored[ISC_STATUS_LENGTH] = {};
    fb.isc_rollback_transaction(ignored, &tr);
  }
  throw failure;
}

}  // namespace nx
