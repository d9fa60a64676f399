// Statements executed directly through the database layer against the same statements run by
// isql-fb over TCP on the same private server, in the same run; and the time to connect.
//
// The baseline script commits after every INSERT ("INSERT ...; COMMIT;"), so isql also runs one
// transaction per statement, as ExecuteDirect does. Both sides include connecting and
// disconnecting; isql's own start-up is measured separately (a script of one SELECT) and shown.

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
#include "tools/firebird/engine_process.h"
#include "tools/firebird/private_server.h"

extern char** environ;

namespace {

using nx::bench::Milliseconds;
using nx::bench::RunEngineTool;
using nx::bench::RunIsql;

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Insert(const std::string& table, int i) {
  return "INSERT INTO " + table + " (ID, V) VALUES (" + std::to_string(i) + ", 'fila número " +
         std::to_string(i) + "')";
}

std::string Count(nx::TConexion& con, const std::string& table) {
  nx::TConsulta q(con);
  q.SetSQL("SELECT COUNT(*) FROM " + table);
  q.Open();
  return q.FieldAsString(0);
}

}  // namespace

int main(int argc, char** argv) {
  const int statements = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int syncRounds = 3, asyncRounds = 7, rounds = syncRounds + asyncRounds;
  const int connects = 31;

  auto server = nx::PrivateServer::StartScratch();
  std::string schema;
  for (int r = 0; r < rounds; ++r) {
    schema += "CREATE TABLE OURS" + std::to_string(r) + " (ID INTEGER, V VARCHAR(100));\n";
    schema += "CREATE TABLE ISQL" + std::to_string(r) + " (ID INTEGER, V VARCHAR(100));\n";
  }
  server->CreateDatabase("Bench", schema);
  const std::string port = std::to_string(server->port());
  const std::string database = server->ConnectionString("Bench");

  // The isql scripts, written in ISO8859_1 as the connection carries them.
  const std::string folder = server->root();
  const std::string startupScript = folder + "/startup.sql";
  std::ofstream(startupScript) << "SELECT 1 FROM RDB$DATABASE;\n";
  std::vector<std::string> scripts;
  for (int r = 0; r < rounds; ++r) {
    std::string text;
    for (int i = 0; i < statements; ++i) text += Insert("ISQL" + std::to_string(r), i) + ";\nCOMMIT;\n";
    std::string latin1;
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c == 0xC3 && i + 1 < text.size()) {
        latin1 += static_cast<char>(0xC0 | (static_cast<unsigned char>(text[++i]) & 0x3F));
      } else {
        latin1 += static_cast<char>(c);
      }
    }
    scripts.push_back(folder + "/inserts" + std::to_string(r) + ".sql");
    std::ofstream(scripts.back(), std::ios::binary) << latin1;
  }

  // Medians, and minimums: on a loaded machine the fastest run is the steadier figure.
  struct Result {
    int runs;
    double ours, isql, startup, oursMin, isqlMin;
  };
  int round = 0;
  const auto measure = [&](int runs) {
    std::vector<double> ours, isql, isqlStartup;
    for (int r = 0; r < runs; ++r, ++round) {
      const std::string table = "OURS" + std::to_string(round);
      const Clock::time_point start = Clock::now();
      {
        nx::TConexion con;
        nx::LlenaParametros(con.Params(), "localhost", port, "Bench", nx::kCuentaAplicacion);
        con.Open();
        for (int i = 0; i < statements; ++i) con.ExecuteDirect(Insert(table, i));
        con.Close();
      }
      ours.push_back(Milliseconds(Clock::now() - start));
      isql.push_back(RunIsql(database, scripts[round]));
      isqlStartup.push_back(RunIsql(database, startupScript));
    }
    return Result{runs, Median(ours), Median(isql), Median(isqlStartup),
                  *std::min_element(ours.begin(), ours.end()),
                  *std::min_element(isql.begin(), isql.end())};
  };
  const auto report = [&](const char* title, const Result& r) {
    std::printf("%s (%d runs of each, interleaved)\n", title, r.runs);
    std::printf("  database layer (connect, execute, close)  median %8.1f ms  min %8.1f ms  (%.3f ms/statement)\n",
                r.ours, r.oursMin, r.oursMin / statements);
    std::printf("  isql-fb -i script (INSERT; COMMIT; ...)     median %8.1f ms  min %8.1f ms\n", r.isql,
                r.isqlMin);
    std::printf("  isql-fb start-up alone (one SELECT)         median %8.1f ms\n", r.startup);
    std::printf("  ratio layer / isql: median %.2f, min %.2f   (goal <= 1.30)\n", r.ours / r.isql,
                r.oursMin / r.isqlMin);
  };

  // As a database is shipped (forced writes: every commit waits for the disk), then with
  // asynchronous writes, where the layer's own cost is not hidden behind the disk.
  const Result synchronous = measure(syncRounds);
  RunEngineTool({"/usr/bin/gfix", "-write", "async", database});
  const Result asynchronous = measure(asyncRounds);

  // Both sides stored every row.
  nx::TConexion check;
  nx::LlenaParametros(check.Params(), "localhost", port, "Bench", nx::kCuentaAplicacion);
  check.Open();
  for (int r = 0; r < round; ++r) {
    const std::string expected = std::to_string(statements);
    if (Count(check, "OURS" + std::to_string(r)) != expected ||
        Count(check, "ISQL" + std::to_string(r)) != expected) {
      std::fprintf(stderr, "round %d: rows missing\n", r);
      return 1;
    }
  }
  check.Close();

  std::vector<double> connectTimes;
  for (int i = 0; i < connects; ++i) {
    nx::TConexion con;
    nx::LlenaParametros(con.Params(), "localhost", port, "Bench", nx::kCuentaAplicacion);
    const Clock::time_point start = Clock::now();
    con.Open();
    connectTimes.push_back(Milliseconds(Clock::now() - start));
    con.Close();
  }

  std::printf("bench-dbupdate: %d INSERTs, one transaction each, private server on port %s\n",
              statements, port.c_str());
  report("forced writes (as shipped):", synchronous);
  report("asynchronous writes:", asynchronous);
  std::printf("connect (Open) median of %d: %.2f ms  (first %.2f ms)\n", connects,
              Median(connectTimes), connectTimes.front());
  return 0;
}
