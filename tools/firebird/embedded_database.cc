#include "tools/firebird/embedded_database.h"

#include <stdlib.h>

#include <filesystem>

#include "tools/firebird/engine_process.h"
#include "tools/firebird/instance_root.h"

namespace nx {

namespace {

namespace fs = std::filesystem;

// A throw-away root for one embedded run; removed with everything in it at the end.
class EmbeddedRoot {
 public:
  explicit EmbeddedRoot(const std::string& securityDatabase) {
    std::string pattern = (fs::temp_directory_path() / "nx-embedded-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw FirebirdError("cannot create a temporary folder in " + fs::temp_directory_path().string());
    path_ = pattern;
    ServerSettings settings;
    settings.securityDatabase = securityDatabase;
    // The embedded engine reads the same file; only the security database and intl matter here.
    std::string conf = "SecurityDatabase = " + securityDatabase + "\n";
    PrepareInstanceRoot(path_, settings, {});
    WriteFileAtomically(path_ + "/firebird.conf", conf);
  }
  ~EmbeddedRoot() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// isql's messages without any trace of the password, for an error text.
std::string Scrub(std::string text, const std::string& secret) {
  if (secret.empty()) return text;
  for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at))
    text.replace(at, secret.size(), "******");
  return text;
}

void Run(const std::string& root, const std::string& script, const std::string& what,
         const std::string& secret = "") {
  IsqlResult result = RunEmbeddedIsql(root, script);
  if (result.exitCode != 0) {
    std::string log = FileTail(root + "/log/firebird3.0.log", 1000);
    throw FirebirdError(what + " failed (isql exit code " + std::to_string(result.exitCode) +
                        "):\n" + Scrub(result.output, secret) + (log.empty() ? "" : "\n" + log));
  }
}

void RefuseExisting(const std::string& path) {
  std::error_code ec;
  if (fs::exists(path, ec)) throw FirebirdError("will not overwrite the existing database " + path);
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) throw FirebirdError("cannot create the folder of " + path + ": " + ec.message());
}

}  // namespace

std::string SqlQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

void CreateSecurityDatabase(const std::string& path, const std::string& password) {
  if (password.empty()) throw FirebirdError("a security database needs a password");
  RefuseExisting(path);
  EmbeddedRoot root(path);
  std::string script =
      "CREATE DATABASE " + SqlQuote(path) + " USER 'SYSDBA';\n"
      "CREATE USER SYSDBA PASSWORD " + SqlQuote(password) + " USING PLUGIN Srp;\n"
      "CREATE USER NORVEXA PASSWORD " + SqlQuote(password) + " USING PLUGIN Srp;\n"
      "GRANT CREATE DATABASE TO USER NORVEXA;\n"
      "COMMIT;\n";
  try {
    Run(root.path(), script, "creating the security database " + path, password);
  } catch (...) {
    std::error_code ec;
    fs::remove(path, ec);
    throw;
  }
}

void CreateDatabase(const std::string& path, const std::string& script) {
  RefuseExisting(path);
  EmbeddedRoot root("");
  std::string text = "SET NAMES UTF8;\n"
                     "CREATE DATABASE " + SqlQuote(path) +
                     " USER 'NORVEXA' PAGE_SIZE 8192 DEFAULT CHARACTER SET ISO8859_1;\n"
                     "SET AUTODDL ON;\n" + script + "\nCOMMIT;\n";
  try {
    Run(root.path(), text, "creating the database " + path);
  } catch (...) {
    std::error_code ec;
    fs::remove(path, ec);
    throw;
  }
}

void RunScript(const std::string& path, const std::string& script) {
  EmbeddedRoot root("");
  std::string text = "SET NAMES UTF8;\nCONNECT " + SqlQuote(path) + " USER 'NORVEXA';\n"
                     "SET AUTODDL ON;\n" + script + "\nCOMMIT;\n";
  Run(root.path(), text, "running a script in " + path);
}

}  // namespace nx
