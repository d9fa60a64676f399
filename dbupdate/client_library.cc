#include "dbupdate/client_library.h"

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "dbupdate/connection_text.h"
#include "dbupdate/database_error.h"
#include "dbupdate/dynamic_library.h"

namespace nx {

namespace {

struct Loaded {
  std::unique_ptr<DynamicLibrary> library;
  ClientLibrary table;
};

struct State {
  std::mutex mutex;
  std::string name;  // empty: the platform's default
  // Every library loaded stays loaded, and its table in place, for the life of the program:
  // handles made through it may outlive a change of name.
  std::deque<Loaded> loaded;
  const ClientLibrary* current = nullptr;
};

State& Shared() {
  static State state;
  return state;
}

std::string EffectiveName(const State& state) {
  return state.name.empty() ? DefaultClientLibraryName() : state.name;
}

}  // namespace

const ClientLibrary& FbClient() {
  State& state = Shared();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.current != nullptr) return *state.current;

  const std::string name = EffectiveName(state);
  std::string reason;
  std::unique_ptr<DynamicLibrary> library = DynamicLibrary::Open(name, &reason);
  if (library == nullptr) {
    throw EDatabaseError("No se puede cargar la biblioteca cliente de Firebird \"" + name +
                         "\": " + reason);
  }
  ClientLibrary table;
#define NX_FBCLIENT_RESOLVE(entry)                                                             \
  table.entry = reinterpret_cast<decltype(table.entry)>(library->Symbol(#entry));             \
  if (table.entry == nullptr) {                                                                \
    throw EDatabaseError("La biblioteca cliente de Firebird \"" + name +                       \
                         "\" no tiene la función " #entry " (versión del cliente no válida)"); \
  }
  NX_FBCLIENT_ENTRY_POINTS(NX_FBCLIENT_RESOLVE)
#undef NX_FBCLIENT_RESOLVE
  state.loaded.push_back(Loaded{std::move(library), table});
  state.current = &state.loaded.back().table;
  return *state.current;
}

std::string ClientLibraryName() {
  State& state = Shared();
  std::lock_guard<std::mutex> lock(state.mutex);
  return EffectiveName(state);
}

void SetClientLibraryName(const std::string& name) {
  State& state = Shared();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (name == state.name) return;
  state.name = name;
  state.current = nullptr;
}

EDatabaseError StatusError(const ClientLibrary& fb, const ISC_STATUS* status,
                           int connectionCodePage) {
  std::vector<std::string> lines;
  const ISC_STATUS* cursor = status;
  char buffer[1024];
  while (fb.fb_interpret(buffer, sizeof buffer, &cursor) > 0) {
    lines.push_back(FromConnectionText(buffer, connectionCodePage));
  }
  if (lines.empty()) lines.push_back("Error desconocido del servidor de datos.");
  return EDatabaseError(std::move(lines), fb.isc_sqlcode(status), status[1]);
}

void ThrowStatus(const ClientLibrary& fb, const ISC_STATUS* status, int connectionCodePage) {
  throw StatusError(fb, status, connectionCodePage);
}

}  // namespace nx
