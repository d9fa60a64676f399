// The schema synchronisation against a real private server: a main and an update database made
// for each case, the pauses recorded by the clock instead of waited, other processes holding
// attachments and locks.

#include "dbupdate/sincroniza_cambios.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "child_process.h"
#include "dbupdate/database_error.h"
#include "dbupdate/password.h"
#include "dbupdate/transaccion.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "server_fixture.h"
#include "tests/support/recording_clock.h"
#include "tests/support/scratch_machine.h"
#include "tools/firebird/embedded_database.h"
#include "tools/medium/sample_databases.h"

namespace nx {
namespace {

constexpr char kProblemas[] = "Problemas al actualizar base de datos.";
constexpr char kFinFallo[] =
    "Problemas al actualizar base de datos. Intente de nuevo la instalación.";
constexpr char kFinBien[] = "Actualizanción : sincroniza cambios terminado";
constexpr char kArranque[] = "\"C:\\Norvexa\\firebird3\\instsvc\" start -n Norvexa3";

struct Cambio {
  std::string id;
  std::string version;
  int orden;
  std::string sentencia;
  char aplicado = 'N';
};

Cambio Comprobaciones() { return {"0", "0", 0, medium::SchemaHistory()[0].statement}; }
// A change that leaves its trace in the order it ran.
Cambio Traza(const std::string& id, const std::string& version, int orden, char aplicado = 'N') {
  return {id, version, orden, "INSERT INTO TRAZA VALUES (NEXT VALUE FOR G_TRAZA, " + id + ")",
          aplicado};
}
Cambio Tabla(const std::string& id, const std::string& version, int orden) {
  return {id, version, orden, "CREATE TABLE T_" + id + " (ID INTEGER)"};
}
constexpr char kTraza[] = "CREATE TABLE TRAZA (N INTEGER, ID INTEGER); CREATE SEQUENCE G_TRAZA;\n";

// The update database: EJECUTABLE at version (no row when empty), the change list, ERRORES.
std::string UpdateScript(const std::string& version, const std::vector<Cambio>& cambios,
                         const std::string& idType = "INTEGER NOT NULL PRIMARY KEY") {
  std::string script =
      "CREATE TABLE EJECUTABLE (VERSION VARCHAR(20) NOT NULL, NOMBRE VARCHAR(60));\n"
      "CREATE TABLE CAMBIOS_BD (ID_CAMBIO " + idType + ", SENTENCIA VARCHAR(32000) NOT NULL, "
      "VERSION VARCHAR(20) NOT NULL, ORDEN INTEGER DEFAULT 0 NOT NULL, "
      "APLICADO CHAR(1) DEFAULT 'N' NOT NULL);\n"
      "CREATE TABLE ERRORES (ID_CAMBIO INTEGER, ERROR VARCHAR(250));\n";
  if (!version.empty()) {
    script += "INSERT INTO EJECUTABLE VALUES (" + SqlQuote(version) + ", 'Gestion.exe');\n";
  }
  for (const Cambio& c : cambios) {
    script += "INSERT INTO CAMBIOS_BD VALUES (" + SqlQuote(c.id) + ", " + SqlQuote(c.sentencia) +
              ", " + SqlQuote(c.version) + ", " + std::to_string(c.orden) + ", '" + c.aplicado +
              "');\n";
  }
  return script;
}

std::string Join(const std::vector<std::string>& values) {
  std::string text;
  for (const std::string& v : values) text += (text.empty() ? "" : " ") + v;
  return text;
}

class SincronizaTest : public ServerTest {
 public:
  // Waits (30 s at most) until a mark of ours waits for a row lock in the update database.
  static bool WaitForMarkWaiting(const std::string& aliasX) {
    for (int i = 0; i < 600; ++i) {
      const std::vector<std::string> waiting = Column(
          aliasX,
          "SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$STATE = 1 AND MON$SQL_TEXT "
          "STARTING WITH 'UPDATE CAMBIOS_BD SET APLICADO'");
      if (waiting[0] != "0") return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 protected:
  SincronizaTest() : clock_(*machine_.platform().clock), scope_(WithClock(&clock_)) {}

  static Platform WithClock(Clock* clock) {
    Platform p;
    p.clock = clock;
    return p;
  }

  // A fresh main database (the sample schema at mainVersion, then mainExtra) and its update
  // database.
  void Databases(const std::string& mainVersion, const std::string& mainExtra,
                 const std::string& updateScript) {
    alias_ = "Caso" + std::to_string(++counter_);
    server_->CreateDatabase(alias_, medium::MainDatabaseScript(mainVersion) + mainExtra);
    server_->CreateDatabase(alias_ + "X", updateScript);
  }

  std::string Run(const std::string& alias) {
    const SincronizaEntorno entorno{
        con_, conX_, q_, qx_, [this](const std::string& linea) { log_.push_back(linea); },
        kArranque, [this](const std::string& linea) { commands_.push_back(linea); }};
    return SincronizaCambios(entorno, "localhost", Port(), alias);
  }
  std::string Run() { return Run(alias_); }

  static std::vector<std::string> Column(const std::string& alias, const std::string& sql) {
    TConexion con;
    Connect(con, alias);
    TConsulta q(con);
    q.SetSQL(sql);
    std::vector<std::string> values;
    for (q.Open(); !q.Eof(); q.Next()) values.push_back(q.FieldAsString(0));
    return values;
  }
  std::string Marks() {
    return Join(Column(alias_ + "X",
                       "SELECT TRIM(ID_CAMBIO) || APLICADO FROM CAMBIOS_BD ORDER BY ID_CAMBIO"));
  }
  std::string Trace() { return Join(Column(alias_, "SELECT ID FROM TRAZA ORDER BY N")); }
  std::vector<std::string> Errors() {
    return Column(alias_ + "X", "SELECT COALESCE(ID_CAMBIO, -1) || ':' || ERROR FROM ERRORES");
  }
  std::string TableCount(const std::string& name) {
    return Column(alias_, "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = '" +
                              name + "'")[0];
  }

  // The lines of a run that gets to the version phase.
  std::vector<std::string> CleanLog(bool comprobaciones = true) const {
    std::vector<std::string> lines = {
        "actualizando : antes de conectar Database=localhost/" + Port() + ":" + alias_,
        "actualizando : conectado ",
        "actualizando : conectado a X ",
        "Reseteando base de datos.",
        "Reseteando base de datos shutdown.",
        "Reseteando base de datos startup.",
        "Comprobando sesiones activas.",
        "actualizando :  procedimiento de comprobaciones"};
    if (comprobaciones) lines.push_back("ejecutando :  procedimiento de comprobaciones");
    lines.push_back("actualizando :  sincroniza version nueva");
    return lines;
  }
  static std::vector<std::string> With(std::vector<std::string> lines, const std::string& last) {
    lines.push_back(last);
    return lines;
  }

  ScratchMachine machine_;
  RecordingClock clock_;
  ScopedPlatform scope_;
  TConexion con_, conX_;
  TConsulta q_{con_}, qx_{conX_};
  std::vector<std::string> log_, commands_;
  std::string alias_;
  inline static int counter_ = 0;
};

TEST_F(SincronizaTest, BringsTheSampleDatabaseToTheNewVersionAndThrowsOthersOff) {
  Databases(medium::kBaseVersion, "INSERT INTO SESIONES (ID_SESION, USUARIO) VALUES (1, 'ana');\n",
            medium::UpdateDatabaseScript(medium::kNewerVersion));
  ChildProcess other({NX_ATTACH_HELPER, Port(), alias_});
  ASSERT_EQ(other.ReadLine(), "attached");

  EXPECT_EQ(Run(), "");
  EXPECT_EQ(log_, With(CleanLog(), kFinBien));
  EXPECT_EQ(clock_.pauses, (std::vector<int>{2000, 5000}));
  EXPECT_TRUE(commands_.empty());
  EXPECT_FALSE(con_.Connected());
  EXPECT_TRUE(conX_.Connected());

  // 1.2.4 and 1.3.0 are above 1.2.3: changes 8 to 12.
  EXPECT_EQ(Marks(), "0N 1N 2N 3N 4N 5N 6N 7N 8S 9S 10S 11S 12S");
  EXPECT_EQ(Column(alias_, "SELECT VERSION FROM CONFIGURACION"),
            std::vector<std::string>{medium::kNewerVersion});
  EXPECT_EQ(TableCount("PEDIDOS"), "1");
  EXPECT_EQ(Column(alias_, "SELECT COUNT(*) FROM V_CLIENTES_POR_POBLACION"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(Column(alias_, "SELECT COUNT(*) FROM SESIONES"), std::vector<std::string>{"0"});
  EXPECT_TRUE(Errors().empty());

  const std::string thrownOff = other.Ask("exec INSERT INTO SESIONES (ID_SESION, USUARIO) VALUES (2, 'x')");
  EXPECT_EQ(thrownOff.rfind("error: ", 0), 0u) << thrownOff;
  EXPECT_NE(thrownOff.find("shutdown"), std::string::npos) << thrownOff;
}

TEST_F(SincronizaTest, ReplaysTheRangeInTheOrderOfVersionAndOrderByTheTextRule) {
  const std::vector<Cambio> cambios = {
      Comprobaciones(),          Traza("1", "1.2.3", 1), Traza("2", "1.2.4", 2),
      Traza("3", "1.2.4", 1),    Traza("4", "1.2.10", 1), Traza("5", "1.3.0", 1),
      Traza("6", "1.3.0", 2, 'S'), Traza("7", "1.3.1", 1), Traza("8", "1.2.5", 1)};
  struct Case {
    const char* actual;
    const char* nueva;
    const char* replayed;
    const char* marks;
  } cases[] = {
      {"1.2.3", "1.3.0", "3 2 8 5", "0N 1N 2S 3S 4N 5S 6S 7N 8S"},
      {"1.2.3", "1.2.3", "", "0N 1N 2N 3N 4N 5N 6S 7N 8N"},
      {"1.2.3", "1.2.10", "", "0N 1N 2N 3N 4N 5N 6S 7N 8N"},  // 1210 < 123 as text
      {"1.2.4", "1.3.1", "8 5 7", "0N 1N 2N 3N 4N 5S 6S 7S 8S"},
      {"1.3.0", "1.2.4", "", "0N 1N 2N 3N 4N 5N 6S 7N 8N"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.actual) + " -> " + c.nueva);
    Databases(c.actual, kTraza, UpdateScript(c.nueva, cambios));
    log_.clear();
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(Trace(), c.replayed);
    EXPECT_EQ(Marks(), c.marks);
    EXPECT_EQ(log_.back(), kFinBien);
    conX_.Close();
  }
}

TEST_F(SincronizaTest, TheThirdOfFiveFailingEndsTheReplayAndIsRecorded) {
  // Its error text holds straight quotes and runs past 250 characters.
  const std::string own = "El cliente O'Brien tiene facturas sin cerrar del año pasado; " +
                          std::string(380, 'x');
  const std::vector<Cambio> cambios = {
      Comprobaciones(), Tabla("1", "1.2.4", 1), Tabla("2", "1.2.4", 2),
      {"3", "1.2.4", 3, "EXECUTE BLOCK AS BEGIN EXCEPTION ERROR " + SqlQuote(own) + "; END"},
      Tabla("4", "1.2.4", 4), Tabla("5", "1.2.4", 5)};
  Databases("1.2.3", "", UpdateScript("1.2.4", cambios));

  EXPECT_EQ(Run(), kProblemas);
  EXPECT_EQ(Marks(), "0N 1S 2S 3N 4N 5N");
  EXPECT_EQ(TableCount("T_2"), "1");
  EXPECT_EQ(TableCount("T_4"), "0");

  const std::vector<std::string> errors = Errors();
  ASSERT_EQ(errors.size(), 1u);
  ASSERT_EQ(errors[0].rfind("3:", 0), 0u) << errors[0];
  const std::string digest = errors[0].substr(2);
  EXPECT_EQ(digest.rfind("exception 1 ERROR El cliente O´Brien tiene facturas sin cerrar del año", 0), 0u)
      << digest;
  EXPECT_EQ(digest.find('\''), std::string::npos);
  EXPECT_EQ(std::u16string(Utf8ToUtf16(digest)).size(), 250u);
  EXPECT_EQ(log_, With(With(CleanLog(), "Ejecutando sincroniza version : " + digest), kFinFallo));
}

TEST_F(SincronizaTest, TheCheckProcedure) {
  struct Case {
    const char* what;
    std::vector<Cambio> cambios;
    const char* mainExtra;
    std::string result;
    std::string line;  // the beginning of a line logged
    const char* marks;
    bool runsCheck;
  } cases[] = {
      {"no change 0: the version phase follows",
       {Traza("1", "1.2.4", 1)}, "", "", "actualizando :  sincroniza version nueva", "1S", false},
      {"change 0 fails",
       {{"0", "0", 0, "CREATE PROCEDURE COMPROBACIONES_ACTUALIZAR AS BEGIN NO_SUCH_THING; END"},
        Traza("1", "1.2.4", 1)},
       "", "Procedimiento de comprobaciones erroneo",
       "actualizando :  procedimiento de comprobaciones con errores. \r", "0N 1N", false},
      {"the procedure raises ERROR with its own message",
       {Comprobaciones(), Traza("1", "1.2.4", 1)},
       "INSERT INTO CONFIGURACION (ID_CONFIGURACION, VERSION) VALUES (2, '1.2.3');\n",
       // The blank before the location line stays with the message.
       "La configuración de la empresa está repetida. ",
       "Ejecutando comprobaciones Error : exception 1 ERROR La configuración de la empresa está "
       "repetida. At procedure ´COMPROBACIONES_ACTUALIZAR´",
       "0N 1N", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Databases("1.2.3", std::string(kTraza) + c.mainExtra, UpdateScript("1.2.4", c.cambios));
    log_.clear();
    EXPECT_EQ(Run(), c.result);
    EXPECT_EQ(Marks(), c.marks);
    const auto starts = [&](const std::string& prefix) {
      return std::any_of(log_.begin(), log_.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    };
    EXPECT_TRUE(starts(c.line)) << Join(log_);
    EXPECT_EQ(starts("ejecutando :  procedimiento de comprobaciones"), c.runsCheck);
    EXPECT_EQ(log_.back(), c.result.empty() ? kFinBien : kFinFallo);
    if (!c.result.empty()) {
      EXPECT_EQ(Trace(), "");
    }
    conX_.Close();
  }
}

TEST_F(SincronizaTest, ASessionWrittenAgainDuringThePauseStopsTheUpdate) {
  Databases("1.2.3", kTraza, UpdateScript("1.2.4", {Comprobaciones(), Traza("1", "1.2.4", 1)}));
  ChildProcess workstation({NX_ATTACH_HELPER, Port(), alias_});
  ASSERT_EQ(workstation.ReadLine(), "attached");
  clock_.onPause = [&](int milliseconds) {
    if (milliseconds != 5000) return;
    // The application was thrown off by the reset, comes back and writes its session again.
    EXPECT_EQ(workstation.Ask("reopen"), "ok");
    EXPECT_EQ(workstation.Ask("exec INSERT INTO SESIONES (ID_SESION, USUARIO) VALUES (7, 'puesto2')"),
              "ok");
  };

  EXPECT_EQ(Run(), "No se puede actualizar hay sesiones activas.");
  EXPECT_EQ(clock_.pauses, (std::vector<int>{2000, 5000}));
  const std::vector<std::string> clean = CleanLog();
  std::vector<std::string> expected(clean.begin(), clean.begin() + 7);
  expected.push_back("No se puede actualizar hay sesiones activas.");
  expected.push_back(kFinFallo);
  EXPECT_EQ(log_, expected);
  EXPECT_EQ(Marks(), "0N 1N");
  EXPECT_EQ(Trace(), "");
}

TEST_F(SincronizaTest, AChangeWhoseMarkOrCommitFailsIsNotKept) {
  struct Case {
    const char* what;
    const char* mainExtra;
    const char* updateExtra;
    Cambio third;
    const char* effect;  // a query giving 0 while the third change is not applied
  } cases[] = {
      {"the update database refuses the mark", "",
       "ALTER TABLE CAMBIOS_BD ADD CONSTRAINT NO_MARCA CHECK (APLICADO = 'N' OR ID_CAMBIO <> 3);\n",
       Tabla("3", "1.2.4", 3),
       "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'T_3'"},
      {"the change fails only at commit",
       "CREATE TABLE DUP (X INTEGER); INSERT INTO DUP VALUES (1); INSERT INTO DUP VALUES (1);\n",
       "", {"3", "1.2.4", 3, "ALTER TABLE DUP ADD CONSTRAINT U_DUP UNIQUE (X)"},
       "SELECT COUNT(*) FROM RDB$RELATION_CONSTRAINTS WHERE RDB$CONSTRAINT_NAME = 'U_DUP'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Databases("1.2.3", c.mainExtra,
              UpdateScript("1.2.4", {Comprobaciones(), Tabla("1", "1.2.4", 1),
                                     Tabla("2", "1.2.4", 2), c.third, Tabla("4", "1.2.4", 4)}) +
                  c.updateExtra);
    log_.clear();
    EXPECT_EQ(Run(), kProblemas);
    EXPECT_EQ(Marks(), "0N 1S 2S 3N 4N");
    EXPECT_EQ(Column(alias_, c.effect), std::vector<std::string>{"0"});
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("3:", 0), 0u) << errors[0];
    conX_.Close();
  }
}

TEST_F(SincronizaTest, AChangeWaitingOnALockedMarkFailsWhenTheLockerCommits) {
  Databases("1.2.3", "",
            UpdateScript("1.2.4", {Comprobaciones(), Tabla("1", "1.2.4", 1), Tabla("2", "1.2.4", 2),
                                   Tabla("3", "1.2.4", 3)}));
  TConexion locker;
  Connect(locker, alias_ + "X");
  TTransaccion lock;
  lock.Start(locker, locker);
  lock.ExecuteDirect(locker, "UPDATE CAMBIOS_BD SET ORDEN = ORDEN WHERE ID_CAMBIO = 3");
  std::thread release([&] {
    WaitForMarkWaiting(alias_ + "X");
    lock.Commit();
  });
  const std::string result = Run();
  release.join();
  EXPECT_EQ(result, kProblemas);
  EXPECT_EQ(Marks(), "0N 1S 2S 3N");
  EXPECT_EQ(TableCount("T_3"), "0");
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_NE(Errors()[0].find("update conflicts"), std::string::npos) << Errors()[0];
}

TEST_F(SincronizaTest, ARunKilledMidReplayIsFinishedByTheNextRun) {
  Databases("1.2.3", "",
            UpdateScript("1.2.4", {Comprobaciones(), Tabla("1", "1.2.4", 1), Tabla("2", "1.2.4", 2),
                                   Tabla("3", "1.2.4", 3), Tabla("4", "1.2.4", 4),
                                   Tabla("5", "1.2.4", 5)}));
  // Holding the row of change 3 stops the killed run between that change and its mark.
  TConexion locker;
  Connect(locker, alias_ + "X");
  TTransaccion lock;
  lock.Start(locker, locker);
  lock.ExecuteDirect(locker, "UPDATE CAMBIOS_BD SET ORDEN = ORDEN WHERE ID_CAMBIO = 3");
  {
    ChildProcess run({NX_SINCRONIZA_HELPER, Port(), alias_});
    ASSERT_TRUE(WaitForMarkWaiting(alias_ + "X"));
    EXPECT_EQ(Marks(), "0N 1S 2S 3N 4N 5N");
    kill(run.pid(), SIGKILL);
  }
  lock.Rollback();

  EXPECT_EQ(Run(), "");
  EXPECT_EQ(Marks(), "0N 1S 2S 3S 4S 5S");
  EXPECT_EQ(TableCount("T_3"), "1");
  EXPECT_EQ(TableCount("T_5"), "1");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SincronizaTest, DatabasesThatCannotBeReached) {
  const std::string start = "actualizando : antes de conectar Database=localhost/" + Port() + ":";
  EXPECT_EQ(Run("NoExiste"),
            "Problemas al conectar con el servidor de datos.\r Posiblemente tenga que configurar "
            "el firewall o antivirus.\rEjecute el setup otra vez.");
  EXPECT_EQ(log_, (std::vector<std::string>{start + "NoExiste", "actualizando : conectado espera 1",
                                            "actualizando : conectado espera 2",
                                            "actualizando : conectado espera 3",
                                            "Problemas al conectar con el servidor de datos.",
                                            kFinFallo}));
  EXPECT_EQ(clock_.pauses, (std::vector<int>{1000, 2000, 3000}));
  EXPECT_EQ(commands_, std::vector<std::string>{kArranque});

  log_.clear();
  commands_.clear();
  clock_.pauses.clear();
  con_.Close();
  alias_ = "SoloPrincipal";
  server_->CreateDatabase(alias_, medium::MainDatabaseScript("1.2.3"));
  EXPECT_EQ(Run(),
            "Problemas al conectar con la base de datos de actualizciones X.\r Posiblemente tenga "
            "que configurar el firewall o antivirus.\rEjecute el setup otra vez.");
  EXPECT_EQ(log_, (std::vector<std::string>{start + alias_, "actualizando : conectado ",
                                            "actualizando : conectado espera 1 X",
                                            "actualizando : conectado espera 2 X",
                                            "actualizando : conectado espera 3 X",
                                            "Problemas al conectar con el servidor de datos.",
                                            kFinFallo}));
  EXPECT_EQ(clock_.pauses, (std::vector<int>{1000, 2000, 3000}));
  EXPECT_TRUE(commands_.empty());
}

// The administrator's password changed for the life of the object: the services manager then
// refuses the reset while the application's account still connects.
class OtherAdministratorPassword {
 public:
  explicit OtherAdministratorPassword(const std::string& port) : port_(port) {
    Set(ProductPassword(), kOther);
  }
  ~OtherAdministratorPassword() { Set(kOther, ProductPassword()); }

 private:
  static constexpr char kOther[] = "Otra12";
  void Set(const std::string& from, const std::string& to) {
    TConexion con;
    LlenaParametros(con.Params(), "localhost", port_, "Gestion", kCuentaAdministrador);
    con.Params()[2] = "Password=" + from;
    con.Open();
    con.ExecuteDirect("ALTER USER SYSDBA PASSWORD '" + to + "'");
  }
  std::string port_;
};

TEST_F(SincronizaTest, AResetThatCannotAttachIsLoggedTwiceAndStopsTheUpdate) {
  Databases("1.2.3", kTraza, UpdateScript("1.2.4", {Traza("1", "1.2.4", 1)}));
  std::string result;
  {
    OtherAdministratorPassword refused(Port());
    result = Run();
  }
  EXPECT_EQ(result, kProblemas);
  const std::vector<std::string> clean = CleanLog();
  std::vector<std::string> expected(clean.begin(), clean.begin() + 4);
  for (const char* line : {"No se puede continuar. problema a reiniciar la base de datos",
                           "Reseteando base de datos startup.",
                           "No se puede continuar. problema a reiniciar la base de datos", kFinFallo})
    expected.push_back(line);
  EXPECT_EQ(log_, expected);
  EXPECT_EQ(clock_.pauses, std::vector<int>{2000});
  EXPECT_TRUE(con_.Connected());
  EXPECT_TRUE(conX_.Connected());
  EXPECT_EQ(Marks(), "1N");
  EXPECT_EQ(Trace(), "");
}

TEST_F(SincronizaTest, AnUnguardedErrorReachesTheCaller) {
  Databases("1.2.3", "DROP TABLE SESIONES;\n", UpdateScript("1.2.4", {Tabla("1", "1.2.4", 1)}));
  EXPECT_THROW(Run(), EDatabaseError);
  EXPECT_EQ(log_.back(), "Reseteando base de datos startup.");
  EXPECT_EQ(Marks(), "1N");
}

TEST_F(SincronizaTest, AMissingVersionStopsTheReplayNamingItsTable) {
  struct Case {
    const char* table;
    const char* mainExtra;
    const char* nueva;
  } cases[] = {{"EJECUTABLE", "", ""}, {"CONFIGURACION", "DELETE FROM CONFIGURACION;\n", "1.2.4"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    Databases("1.2.3", std::string(kTraza) + c.mainExtra,
              UpdateScript(c.nueva, {Traza("1", "1.2.4", 1)}));
    log_.clear();
    const std::string result = Run();
    EXPECT_NE(result.find(std::string("La tabla ") + c.table), std::string::npos) << result;
    EXPECT_EQ(log_.end()[-2], "Ejecutando sincroniza version : " + result);
    EXPECT_EQ(log_.back(), kFinFallo);
    EXPECT_EQ(Trace(), "");
    EXPECT_EQ(Marks(), "1N");
    conX_.Close();
  }
}

TEST_F(SincronizaTest, AChangeIdentifierThatIsNoIntegerFailsThatChange) {
  Databases("1.2.3", "",
            UpdateScript("1.2.4",
                         {Tabla("1", "1.2.4", 1), {"2.5", "1.2.4", 2, "CREATE TABLE T_25 (ID INTEGER)"},
                          Tabla("3", "1.2.4", 3)},
                         "VARCHAR(20) NOT NULL"));
  EXPECT_EQ(Run(), kProblemas);
  EXPECT_EQ(Marks(), "1S 2.5N 3N");
  EXPECT_EQ(TableCount("T_25"), "0");
  EXPECT_EQ(TableCount("T_3"), "0");
  const std::string digest =
      "El identificador de cambio \"2.5\" no es un número entero: el cambio no se ejecuta.";
  EXPECT_EQ(Errors(), std::vector<std::string>{"-1:" + digest});
  EXPECT_EQ(log_.end()[-2], "Ejecutando sincroniza version : " + digest);
}

TEST(SincronizaTextos, Digest) {
  const std::string x249(249, 'x');
  struct Case {
    std::string error, digest;
  } cases[] = {
      {"O'Brien", "O´Brien"},
      {"''", "´´"},
      {std::string(400, 'e'), std::string(250, 'e')},
      {x249 + "ñyy", x249 + "ñ"},   // the 250th character is two bytes long
      {x249 + "'z", x249 + "´"},    // and so is its replacement
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DigestoError(c.error), c.digest) << c.error;
}

TEST(SincronizaTextos, ExceptionMessage) {
  EXPECT_EQ(MensajeExcepcion("exception 1 ERROR Falta algo At procedure ´P´ line: 3"),
            "Falta algo ");
  EXPECT_EQ(MensajeExcepcion("exception 1 ERROR Falta algo"), "");
  EXPECT_EQ(MensajeExcepcion("Table unknown T At line 1"), "Table unknown T At line 1");
  EXPECT_EQ(MensajeExcepcion("ERROR"), "");

  // The version phase takes it from the error text, quotes kept, bounded by the digest.
  const std::string error = "exception 1 ERROR No vale 'Año' At block line: 1";
  EXPECT_EQ(MensajeExcepcion(DigestoError(error), error), "No vale 'Año' ");
  const std::string longError = "exception 1 ERROR " + std::string(300, 'q') + " At block";
  EXPECT_EQ(MensajeExcepcion(DigestoError(longError), longError), "");
  const std::string table = "Table ERRORES: ERROR in column";
  EXPECT_EQ(MensajeExcepcion(DigestoError(table), table), table);
  EXPECT_EQ(MensajeExcepcion("sin nada", "sin nada"), "sin nada");
}

TEST(SincronizaTextos, VersionsAndIdentifiers) {
  EXPECT_TRUE(VersionMenor("1.2.3", "1.3.0"));
  EXPECT_FALSE(VersionMenor("1.2.3", "1.2.3"));
  EXPECT_FALSE(VersionMenor("1.2.3", "1.2.10"));  // 1210 < 123 as text
  EXPECT_TRUE(VersionMenor("1.2.10", "1.2.3"));
  EXPECT_TRUE(VersionMenor("1.2", "1.2.0"));      // a prefix is the smaller
  EXPECT_FALSE(VersionMenor("2", "10"));

  for (const char* good : {"0", "12", "-3", "123456789012345678"})
    EXPECT_TRUE(EsIdentificadorCambio(good)) << good;
  for (const char* bad : {"", "-", "2.5", " 7", "7 ", "1 OR 1=1", "1234567890123456789", "1e3"})
    EXPECT_FALSE(EsIdentificadorCambio(bad)) << bad;
}

}  // namespace
}  // namespace nx
