#include "dbupdate/servicios.h"

#include <algorithm>

#include "dbupdate/client_library.h"
#include "dbupdate/connection_text.h"
#include "dbupdate/database_error.h"
#include "dbupdate/dynamic_library.h"
#include "dbupdate/password.h"
#include "dbupdate/server_path.h"
#include "platform/text.h"

namespace nx {

struct ServiceState {
  const ClientLibrary* fb = nullptr;
  isc_svc_handle handle = 0;
};

namespace {

void AddByteString(std::string& spb, char item, const std::string& value, const char* name) {
  if (value.size() > 255) {
    throw EDatabaseError(std::string("El valor de ") + name +
                         " de los parámetros del servicio es demasiado largo.");
  }
  spb += item;
  spb += static_cast<char>(value.size());
  spb += value;
}

void AddWordString(std::string& spb, char item, const std::string& value) {
  if (value.size() > 65535) throw EDatabaseError("El nombre de la base de datos es demasiado largo.");
  spb += item;
  spb += static_cast<char>(value.size() & 0xFF);
  spb += static_cast<char>(value.size() >> 8);
  spb += value;
}

void AddInteger(std::string& spb, char item, uint32_t value) {
  spb += item;
  for (int i = 0; i < 4; ++i) spb += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

TServicios::TServicios() : state_(std::make_unique<ServiceState>()) {}

TServicios::~TServicios() { Detach(); }

bool TServicios::Active() const { return state_->handle != 0; }

void TServicios::Attach() {
  if (Active()) return;
  if (server_.empty()) throw EDatabaseError("El servicio no tiene servidor.");
  const std::string user = ValorParametro(params_, "user_name").value_or("");
  const std::string password = ValorParametro(params_, "password").value_or("");
  if (user.empty()) throw EDatabaseError("Los parámetros del servicio no tienen user_name.");

  const ClientLibrary& fb = FbClient();
  std::string spb;
  spb += static_cast<char>(isc_spb_version);
  spb += static_cast<char>(isc_spb_current_version);
  AddByteString(spb, isc_spb_user_name, user, "user_name");
  AddByteString(spb, isc_spb_password, password, "password");

  const std::string service = server_ + ":service_mgr";
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  isc_svc_handle handle = 0;
  {
    ClientFileNameScope names;
    fb.isc_service_attach(status, 0, service.c_str(), &handle,
                          static_cast<unsigned short>(spb.size()), spb.data());
  }
  std::fill(spb.begin(), spb.end(), '\0');
  if (Failed(status)) ThrowStatus(fb, status, kCodePageLatin1);
  state_->fb = &fb;
  state_->handle = handle;
}

void TServicios::Detach() {
  if (!Active()) return;
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  state_->fb->isc_service_detach(status, &state_->handle);
  state_->handle = 0;
}

void TServicios::Shutdown(int waitSeconds) {
  std::string request(1, static_cast<char>(isc_action_svc_properties));
  AddWordString(request, isc_spb_dbname, LocalDatabaseName(database_));
  AddInteger(request, isc_spb_prp_shutdown_db, static_cast<uint32_t>(std::max(waitSeconds, 0)));
  StartAndWait(request);
}

void TServicios::BringOnline() {
  std::string request(1, static_cast<char>(isc_action_svc_properties));
  AddWordString(request, isc_spb_dbname, LocalDatabaseName(database_));
  AddInteger(request, isc_spb_options, isc_spb_prp_db_online);
  StartAndWait(request);
}

void TServicios::StartAndWait(const std::string& request) {
  if (!Active()) throw EDatabaseError("El servicio no está conectado.");
  if (database_.empty()) throw EDatabaseError("El servicio no tiene base de datos.");
  const ClientLibrary& fb = *state_->fb;
  ISC_STATUS status[ISC_STATUS_LENGTH] = {};
  {
    ClientFileNameScope names;
    fb.isc_service_start(status, &state_->handle, nullptr,
                         static_cast<unsigned short>(request.size()), request.data());
  }
  if (Failed(status)) ThrowStatus(fb, status, kCodePageLatin1);

  // The action runs in the server; its end (and its failure) shows when its output runs dry.
  const char item = isc_info_svc_line;
  for (;;) {
    char buffer[1024] = {};
    fb.isc_service_query(status, &state_->handle, nullptr, 0, nullptr, 1, &item, sizeof buffer,
                         buffer);
    if (Failed(status)) ThrowStatus(fb, status, kCodePageLatin1);
    if (buffer[0] != isc_info_svc_line) break;
    const unsigned length =
        static_cast<unsigned char>(buffer[1]) | static_cast<unsigned char>(buffer[2]) << 8;
    if (length == 0) break;
  }
}

void PreparaServicios(TServicios& servicios, const std::string& puerto,
                      const std::string& database) {
  servicios.SetServerName("localhost/" + puerto);
  TParametros& params = servicios.Params();
  params.clear();
  params.push_back(std::string("user_name=") + kCuentaAdministrador);
  params.push_back("password=" + ProductPassword());
  servicios.SetDatabaseName(database);
}

}  // namespace nx
