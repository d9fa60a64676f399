#include "tools/medium/sample_databases.h"

#include "tools/firebird/embedded_database.h"
#include "tools/medium/medium_builder.h"

namespace nx::medium {

namespace {

// The schema the history starts from (before version 1.2.1).
const char kBaseSchema[] = R"sql(
CREATE TABLE CONFIGURACION (
  ID_CONFIGURACION INTEGER NOT NULL PRIMARY KEY,
  VERSION VARCHAR(20) NOT NULL,
  EMPRESA VARCHAR(80),
  CIF VARCHAR(15)
);
CREATE TABLE SESIONES (
  ID_SESION INTEGER NOT NULL PRIMARY KEY,
  USUARIO VARCHAR(31) NOT NULL,
  PUESTO VARCHAR(63),
  INICIO TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL
);
CREATE SEQUENCE GEN_SESIONES;
CREATE TABLE CLIENTES (
  ID_CLIENTE INTEGER NOT NULL PRIMARY KEY,
  NOMBRE VARCHAR(100) NOT NULL,
  POBLACION VARCHAR(60)
);
CREATE TABLE ARTICULOS (
  ID_ARTICULO INTEGER NOT NULL PRIMARY KEY,
  DESCRIPCION VARCHAR(100) NOT NULL,
  PRECIO NUMERIC(15,2) DEFAULT 0 NOT NULL
);
)sql";

const char kCheckProcedure[] =
    "CREATE OR ALTER PROCEDURE COMPROBACIONES_ACTUALIZAR\n"
    "AS\n"
    "DECLARE VARIABLE N INTEGER;\n"
    "BEGIN\n"
    "  SELECT COUNT(*) FROM CONFIGURACION INTO :N;\n"
    "  IF (N = 0) THEN\n"
    "    EXCEPTION ERROR 'Falta la configuración de la empresa: la base de datos no es de esta aplicación.';\n"
    "  IF (N > 1) THEN\n"
    "    EXCEPTION ERROR 'La configuración de la empresa está repetida.';\n"
    "END";

std::string ConfigurationRow(const std::string& version) {
  return "INSERT INTO CONFIGURACION (ID_CONFIGURACION, VERSION, EMPRESA, CIF) VALUES (1, " +
         SqlQuote(version) + ", 'Empresa de ejemplo, S.L.', 'B00000000');\n";
}

// The base schema with every change up to version applied, in replay order.
std::string SchemaAt(const std::string& version) {
  std::string script = kBaseSchema;
  for (const SchemaChange& change : SchemaHistory()) {
    if (change.id == 0 || !VersionAtMost(change.version, version)) continue;
    std::string statement = change.statement;
    // The version marks need the configuration row, which comes afterwards.
    if (statement.rfind("UPDATE CONFIGURACION", 0) == 0) continue;
    script += statement + ";\n";
  }
  return script;
}

}  // namespace

const std::vector<SchemaChange>& SchemaHistory() {
  static const std::vector<SchemaChange> history = {
      {0, "0", 0, kCheckProcedure},
      {1, "1.2.1", 1, "ALTER TABLE CLIENTES ADD TELEFONO VARCHAR(20)"},
      {2, "1.2.1", 2, "UPDATE CONFIGURACION SET VERSION='1.2.1'"},
      {3, "1.2.2", 1,
       "CREATE TABLE FACTURAS (ID_FACTURA INTEGER NOT NULL PRIMARY KEY, ID_CLIENTE INTEGER NOT NULL "
       "REFERENCES CLIENTES, FECHA DATE NOT NULL, TOTAL NUMERIC(15,2) DEFAULT 0 NOT NULL)"},
      {4, "1.2.2", 2, "UPDATE CONFIGURACION SET VERSION='1.2.2'"},
      {5, "1.2.3", 1, "ALTER TABLE ARTICULOS ADD STOCK INTEGER DEFAULT 0 NOT NULL"},
      {6, "1.2.3", 2, "CREATE INDEX IDX_CLIENTES_NOMBRE ON CLIENTES (NOMBRE)"},
      {7, "1.2.3", 3, "UPDATE CONFIGURACION SET VERSION='1.2.3'"},
      {8, "1.2.4", 1, "ALTER TABLE CLIENTES ADD EMAIL VARCHAR(80)"},
      {9, "1.2.4", 2, "UPDATE CONFIGURACION SET VERSION='1.2.4'"},
      {10, "1.3.0", 1,
       "CREATE TABLE PEDIDOS (ID_PEDIDO INTEGER NOT NULL PRIMARY KEY, ID_CLIENTE INTEGER NOT NULL "
       "REFERENCES CLIENTES, FECHA DATE NOT NULL, OBSERVACIONES VARCHAR(200))"},
      {11, "1.3.0", 2,
       "CREATE VIEW V_CLIENTES_POR_POBLACION (POBLACION, CLIENTES) AS SELECT POBLACION, COUNT(*) "
       "FROM CLIENTES GROUP BY POBLACION"},
      {12, "1.3.0", 3, "UPDATE CONFIGURACION SET VERSION='1.3.0'"},
  };
  return history;
}

std::string WithoutDots(const std::string& version) {
  std::string out;
  for (char c : version)
    if (c != '.') out += c;
  return out;
}

bool VersionAtMost(const std::string& version, const std::string& limit) {
  return WithoutDots(version) <= WithoutDots(limit);
}

std::string MainDatabaseScript(const std::string& version) {
  return SchemaAt(version) + ConfigurationRow(version);
}

std::string SampleDatabaseScript(const std::string& version) {
  std::string script = MainDatabaseScript(version);
  script +=
      "INSERT INTO CLIENTES (ID_CLIENTE, NOMBRE, POBLACION) VALUES (1, 'Panadería Muñoz', 'Logroño');\n"
      "INSERT INTO CLIENTES (ID_CLIENTE, NOMBRE, POBLACION) VALUES (2, 'Ferretería El Águila', 'Cáceres');\n"
      "INSERT INTO CLIENTES (ID_CLIENTE, NOMBRE, POBLACION) VALUES (3, 'Talleres O''Donnell', 'A Coruña');\n"
      "INSERT INTO ARTICULOS (ID_ARTICULO, DESCRIPCION, PRECIO) VALUES (1, 'Tornillo M6 × 20', 0.12);\n"
      "INSERT INTO ARTICULOS (ID_ARTICULO, DESCRIPCION, PRECIO) VALUES (2, 'Barra de pan candeal', 1.05);\n";
  if (VersionAtMost("1.2.2", version))
    script += "INSERT INTO FACTURAS (ID_FACTURA, ID_CLIENTE, FECHA, TOTAL) VALUES (1, 1, '2024-01-15', 126.00);\n";
  return script;
}

std::string FailingStatement(int id) {
  return "CREATE TABLE PEDIDOS_" + std::to_string(id) +
         " (ID_PEDIDO INTEGER NOT NULL PRIMARY KEY, ID_CLIENTE INTEGER NOT NULL REFERENCES "
         "CLIENTES_HISTORICO)";
}

std::string UpdateDatabaseScript(const std::string& version, int failingChange) {
  std::string script = R"sql(
CREATE TABLE EJECUTABLE (
  VERSION VARCHAR(20) NOT NULL,
  NOMBRE VARCHAR(60) NOT NULL,
  FECHA TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL,
  FICHERO BLOB SUB_TYPE TEXT
);
CREATE TABLE CAMBIOS_BD (
  ID_CAMBIO INTEGER NOT NULL PRIMARY KEY,
  SENTENCIA VARCHAR(32000) NOT NULL,
  VERSION VARCHAR(20) NOT NULL,
  ORDEN INTEGER DEFAULT 0 NOT NULL,
  APLICADO CHAR(1) DEFAULT 'N' NOT NULL
);
CREATE TABLE ERRORES (
  ID_CAMBIO INTEGER,
  ERROR VARCHAR(250)
);
)sql";
  script += "INSERT INTO EJECUTABLE (VERSION, NOMBRE, FICHERO) VALUES (" + SqlQuote(version) +
            ", " + SqlQuote(std::string(kProgram) + ".exe") + ", " +
            SqlQuote("Norvexa Gestión " + version + ": programa de la aplicación.\r\n") + ");\n";
  for (const SchemaChange& change : SchemaHistory()) {
    if (change.id != 0 && !VersionAtMost(change.version, version)) continue;
    script += "INSERT INTO CAMBIOS_BD (ID_CAMBIO, SENTENCIA, VERSION, ORDEN, APLICADO) VALUES (" +
              std::to_string(change.id) + ", " +
              SqlQuote(failingChange != 0 && change.id == failingChange ? FailingStatement(change.id) : change.statement) + ", " +
              SqlQuote(change.version) + ", " + std::to_string(change.order) + ", 'N');\n";
  }
  return script;
}

std::string PhotosDatabaseScript() {
  return R"sql(
CREATE TABLE FOTOS (
  ID_FOTO INTEGER NOT NULL PRIMARY KEY,
  ID_ARTICULO INTEGER NOT NULL,
  DESCRIPCION VARCHAR(100),
  FOTO BLOB SUB_TYPE BINARY
);
INSERT INTO FOTOS (ID_FOTO, ID_ARTICULO, DESCRIPCION, FOTO) VALUES (1, 1, 'Tornillo', 'foto de muestra');
)sql";
}

std::string DummyDatabaseScript() {
  return "CREATE TABLE DUMMY (ID INTEGER NOT NULL PRIMARY KEY);\nINSERT INTO DUMMY (ID) VALUES (1);\n";
}

}  // namespace nx::medium
