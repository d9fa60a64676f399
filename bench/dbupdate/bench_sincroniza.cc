// The schema synchronisation's replay of many small changes (each run on the main database and
// marked in the update database, both in one two-phase transaction) against isql-fb -i running
// the same changes and the same marks (one script on each database, a COMMIT after every
// statement) on the same private server, in the same run. Our side is the whole operation,
// connections, reset and session check included; its pauses are not waited.
//
// Usage: bench-sincroniza [changes (5000)] [rounds (3)] [sync|async (sync)]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/dbupdate/engine_tool.h"
#include "dbupdate/conexion.h"
#include "dbupdate/consulta.h"
#include "dbupdate/parametros.h"
#include "dbupdate/password.h"
#include "dbupdate/sincroniza_cambios.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"
#include "tools/firebird/embedded_database.h"
#include "tools/firebird/engine_process.h"
#include "tools/firebird/private_server.h"
#include "tools/medium/sample_databases.h"

extern char** environ;

namespace {

using nx::bench::Milliseconds;
using nx::bench::RunEngineTool;
using nx::bench::RunIsql;

using Steady = std::chrono::steady_clock;

class NoWaitClock : public nx::Clock {
 public:
  nx::LocalTime Now() override { return {2026, 1, 1, 12, 0, 0, 0}; }
  std::string FormatShortDate(const nx::LocalTime&) override { return "01/01/2026"; }
  std::string FormatLongTime(const nx::LocalTime&) override { return "12:00:00"; }
  void Sleep(int) override {}
};

std::string Change(int i) {
  return "INSERT INTO BENCH (ID, V) VALUES (" + std::to_string(i) + ", 'cambio " +
         std::to_string(i) + "')";
}
std::string Mark(int i) {
  return "UPDATE CAMBIOS_BD SET APLICADO='S' WHERE ID_CAMBIO=" + std::to_string(i);
}

std::string Scalar(const std::string& port, const std::string& alias, const std::string& sql) {
  nx::TConexion con;
  nx::LlenaParametros(con.Params(), "localhost", port, alias, nx::kCuentaAplicacion);
  con.Open();
  nx::TConsulta q(con);
  q.SetSQL(sql);
  q.Open();
  return q.FieldAsString(0);
}

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
  const int changes = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  // "async": every database with asynchronous writes, where the disk does not hide the cost of
  // the transactions themselves.
  const bool asynchronous = argc > 3 && std::string(argv[3]) == "async";

  auto server = nx::PrivateServer::StartScratch();
  const std::string port = std::to_string(server->port());
  nx::ScratchMachine machine;  // the platform the operation runs on
  NoWaitClock clock;
  nx::Platform replacement;
  replacement.clock = &clock;
  nx::ScopedPlatform scope(replacement);

  const std::string mainScript =
      nx::medium::MainDatabaseScript("1.0.0") + "CREATE TABLE BENCH (ID INTEGER, V VARCHAR(100));\n";
  std::string updateScript =
      "CREATE TABLE EJECUTABLE (VERSION VARCHAR(20) NOT NULL);\n"
      "CREATE TABLE CAMBIOS_BD (ID_CAMBIO INTEGER NOT NULL PRIMARY KEY, SENTENCIA VARCHAR(32000) "
      "NOT NULL, VERSION VARCHAR(20) NOT NULL, ORDEN INTEGER DEFAULT 0 NOT NULL, APLICADO CHAR(1) "
      "DEFAULT 'N' NOT NULL);\n"
      "CREATE TABLE ERRORES (ID_CAMBIO INTEGER, ERROR VARCHAR(250));\n"
      "INSERT INTO EJECUTABLE VALUES ('1.0.1');\n"
      "INSERT INTO CAMBIOS_BD VALUES (0, " + nx::SqlQuote(nx::medium::SchemaHistory()[0].statement) +
      ", '0', 0, 'N');\n";
  std::string changeScript, markScript;
  for (int i = 1; i <= changes; ++i) {
    updateScript += "INSERT INTO CAMBIOS_BD VALUES (" + std::to_string(i) + ", " +
                    nx::SqlQuote(Change(i)) + ", '1.0.1', " + std::to_string(i) + ", 'N');\n";
    changeScript += Change(i) + ";\nCOMMIT;\n";
    markScript += Mark(i) + ";\nCOMMIT;\n";
  }
  const std::string changeFile = server->root() + "/changes.sql";
  const std::string markFile = server->root() + "/marks.sql";
  std::ofstream(changeFile) << changeScript;
  std::ofstream(markFile) << markScript;

  std::vector<double> ours, isql;
  for (int r = 0; r < rounds; ++r) {
    const std::string mine = "Ours" + std::to_string(r), theirs = "Isql" + std::to_string(r);
    server->CreateDatabase(mine, mainScript);
    server->CreateDatabase(mine + "X", updateScript);
    server->CreateDatabase(theirs, mainScript);
    server->CreateDatabase(theirs + "X", updateScript);
    if (asynchronous) {
      for (const std::string& alias : {mine, mine + "X", theirs, theirs + "X"})
        RunEngineTool({"/usr/bin/gfix", "-write", "async", server->ConnectionString(alias)});
    }

    const Steady::time_point start = Steady::now();
    {
      nx::TConexion con, ConX;
      nx::TConsulta q(con), QX(ConX);
      const nx::SincronizaEntorno entorno{con, ConX, q, QX, [](const std::string&) {}, "",
                                          [](const std::string&) {}};
      const std::string result = nx::SincronizaCambios(entorno, "localhost", port, mine);
      if (!result.empty()) {
        std::fprintf(stderr, "round %d: %s\n", r, result.c_str());
        return 1;
      }
    }
    ours.push_back(Milliseconds(Steady::now() - start));
    isql.push_back(RunIsql(server->ConnectionString(theirs), changeFile) +
                   RunIsql(server->ConnectionString(theirs + "X"), markFile));

    const std::string all = std::to_string(changes);
    for (const std::string& alias : {mine, theirs}) {
      if (Scalar(port, alias, "SELECT COUNT(*) FROM BENCH") != all ||
          Scalar(port, alias + "X", "SELECT COUNT(*) FROM CAMBIOS_BD WHERE APLICADO='S'") != all) {
        std::fprintf(stderr, "round %d: %s did not apply and mark every change\n", r,
                     alias.c_str());
        return 1;
      }
    }
  }

  std::printf("bench-sincroniza: %d changes (INSERT + mark), %d rounds, %s writes, private server on "
              "port %s\n",
              changes, rounds, asynchronous ? "asynchronous" : "forced", port.c_str());
  std::printf("  SincronizaCambios (whole operation, no pauses)  min %8.1f ms  %7.0f changes/s\n",
              Min(ours), changes * 1000.0 / Min(ours));
  std::printf("  isql-fb -i, changes script + marks script       min %8.1f ms  %7.0f changes/s\n",
              Min(isql), changes * 1000.0 / Min(isql));
  std::printf("  ratio ours / isql (min): %.2f   (goal <= 1.30)\n", Min(ours) / Min(isql));
  return 0;
}
