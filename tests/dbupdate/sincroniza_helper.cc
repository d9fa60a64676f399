// Runs the schema synchronisation in a process of its own, for the test that kills it mid-replay.
// Usage: dbupdate-sincroniza-helper PORT ALIAS, on the machine named by NXSETUP_MACHINE. The
// pauses are not waited; every log line goes to stdout as it is written; the result ends the
// output as "result: TEXT".

#include <iostream>
#include <string>

#include "dbupdate/conexion.h"
#include "dbupdate/consulta.h"
#include "dbupdate/sincroniza_cambios.h"
#include "platform/platform.h"

namespace {

class NoWaitClock : public nx::Clock {
 public:
  explicit NoWaitClock(nx::Clock& real) : real_(real) {}
  nx::LocalTime Now() override { return real_.Now(); }
  std::string FormatShortDate(const nx::LocalTime& t) override { return real_.FormatShortDate(t); }
  std::string FormatLongTime(const nx::LocalTime& t) override { return real_.FormatLongTime(t); }
  void Sleep(int) override {}

 private:
  nx::Clock& real_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: dbupdate-sincroniza-helper PORT ALIAS\n";
    return 2;
  }
  NoWaitClock clock(*nx::CurrentPlatform().clock);
  nx::Platform replacement;
  replacement.clock = &clock;
  nx::ScopedPlatform scope(replacement);

  nx::TConexion con, ConX;
  nx::TConsulta q(con), QX(ConX);
  const nx::SincronizaEntorno entorno{
      con, ConX, q, QX, [](const std::string& linea) { std::cout << linea << std::endl; },
      "instsvc start", [](const std::string&) {}};
  try {
    std::cout << "result: " << nx::SincronizaCambios(entorno, "localhost", argv[1], argv[2])
              << std::endl;
  } catch (const std::exception& error) {
    std::cout << "error: " << error.what() << std::endl;
    return 1;
  }
  return 0;
}
