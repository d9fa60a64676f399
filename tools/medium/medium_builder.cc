#include "tools/medium/medium_builder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <stdexcept>

#include "dbupdate/password.h"
#include "platform/files.h"
#include "platform/hosted_machine.h"
#include "platform/text.h"
#include "tools/firebird/embedded_database.h"
#include "tools/msiexec/package_format.h"

namespace nx::medium {

namespace {

namespace fs = std::filesystem;

const char kMarker[] = ".nxmedium";

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.flush();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// A text file as Windows programs write them: the system code page, CR LF.
void WriteText(const fs::path& path, const std::string& utf8) { Write(path, ToSystemCodePage(Crlf(utf8))); }

void CopyProgram(const std::string& binFolder, const std::string& program, const fs::path& to) {
  fs::path from = fs::path(binFolder) / program;
  if (!fs::is_regular_file(from))
    throw std::runtime_error("the program " + from.string() + " is missing; build it first");
  fs::create_directories(to.parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec);
}

// Files that stand for vendor files of Windows (libraries, fonts, help): they only have to be
// there and be told apart.
void WriteStandIn(const fs::path& path, const std::string& what) {
  WriteText(path, "Norvexa stand-in file: " + what + "\n");
}

std::string FirebirdConf(bool generation3) {
  std::string text =
      "#\n"
      "# Firebird configuration file of the Norvexa engine.\n"
      "# Entries take the form  Name = value ; a '#' starts a comment.\n"
      "#\n"
      "#DefaultDbCachePages = 2048\n"
      "#TempCacheLimit = 64M\n"
      "#RemoteServicePort = 3050\n"
      "#RemoteAuxPort = 0\n"
      "#RemoteBindAddress =\n";
  if (generation3)
    text +=
        "#ServerMode = Super\n"
        "#AuthServer = Srp\n"
        "#UserManager = Srp\n"
        "#WireCrypt = Enabled\n";
  return text;
}

std::string AliasFile(bool generation3) {
  if (generation3)
    return "#\n"
           "# Database aliases of the Norvexa engine:  alias = full path of the database file\n"
           "#\n"
           "#employee.fdb = $(dir_sampleDb)/employee.fdb\n"
           "#employee = $(dir_sampleDb)/employee.fdb\n"
           "\n"
           "security.db = $(dir_secDb)/security3.fdb\n";
  return "#\n"
         "# List of known database aliases\n"
         "# ------------------------------\n"
         "#\n"
         "# Examples:\n"
         "#\n"
         "#   dummy = c:\\data\\dummy.fdb\n"
         "#\n";
}

std::string Script(int technician, bool xp) {
  return std::string("@echo off\n") + "rem Conexión de soporte remoto con el técnico " +
         std::to_string(technician) + (xp ? " (Windows XP)" : "") + "\n" +
         "\"%~dp0winvnc.exe\" -autoreconnect -connect tecnico" + std::to_string(technician) +
         ".soporte.norvexa.example::5500 -run\n";
}

void BuildInto(const fs::path& root, const MediumOptions& options) {
  const std::string gen = options.generation3 ? "3" : "";
  const std::string app = kApplication;
  const fs::path engine = root / ("firebird" + gen);
  const fs::path tools = options.generation3 ? engine : engine / "bin";

  WriteText(root / "nxSetup.ini",
            "[APLICACION]\n"
            "APLICACION=" + app + "\n"
            "EJECUTABLE=" + std::string(kProgram) + "\n"
            "NOMBRE=Norvexa Gestión\n"
            "VERSION=" + options.version + "\n"
            "FIREBIRD=" + gen + "\n"
            "MUESTRA=S\n");
  if (fs::is_regular_file(fs::path(options.binFolder) / "nxsetup"))
    CopyProgram(options.binFolder, "nxsetup", root / "nxSetup.exe");

  // The engine and the databases; each database is a run of the embedded engine of its own, so
  // they are made side by side.
  WriteText(engine / "firebird.conf", FirebirdConf(options.generation3));
  WriteText(engine / (options.generation3 ? "databases.conf" : "aliases.conf"), AliasFile(options.generation3));
  CopyProgram(options.binFolder, "instsvc", tools / "instsvc.exe");
  CopyProgram(options.binFolder, "instclient", tools / "instclient.exe");
  WriteStandIn(tools / "fbclient.dll",
               "Firebird client library; programs of this machine call the host's libfbclient.so.2");
  const fs::path data = root / "DataBase";
  fs::create_directories(data);
  std::vector<std::future<void>> made;
  auto make = [&made](std::function<void()> job) { made.push_back(std::async(std::launch::async, job)); };
  make([&] {
    CreateSecurityDatabase((engine / (options.generation3 ? "security3.fdb" : "security2.fdb")).string(),
                           ProductPassword());
  });
  make([&] { CreateDatabase((data / (app + gen + ".FDB")).string(), MainDatabaseScript(options.version)); });
  make([&] { CreateDatabase((data / (app + gen + "X.FDB")).string(), UpdateDatabaseScript(options.version, options.failingChange)); });
  make([&] { CreateDatabase((data / (app + gen + "FOTOS.FDB")).string(), PhotosDatabaseScript()); });
  make([&] {
    CreateDatabase((data / (app + gen + "Muestra.fdb")).string(), SampleDatabaseScript(options.version));
  });
  make([&] { CreateDatabase((data / "NXDUMMY.FDB").string(), DummyDatabaseScript()); });
  // Every job is waited for before the first failure is passed on.
  std::exception_ptr failure;
  for (std::future<void>& job : made) {
    try {
      job.get();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);

  // Client libraries and runtime packages.
  WriteStandIn(root / "dll" / "fbclient.dll", "Firebird client library of the setup program");
  WriteStandIn(root / "dll" / "dbxfb.dll", "data-access driver");
  WriteStandIn(root / "dll" / "midas.dll", "data-access runtime");
  WriteStandIn(root / "bpl" / "DbxCommonDriver140.bpl", "data-access package");
  WriteStandIn(root / "bpl" / "dbrtl140.bpl", "runtime package");
  msi::Package vc10{"Microsoft Visual C++ 2010 x86 Redistributable", "10.0.40219", "Microsoft Corporation", ""};
  msi::Package vc8{"Microsoft Visual C++ 2005 Redistributable", "8.0.61001", "Microsoft Corporation", ""};
  Write(root / "system32" / "vccrt10_Win32.msi", msi::FormatPackage(vc10));
  Write(root / "system32" / "vccrt8_Win32.msi", msi::FormatPackage(vc8));
  WriteText(root / "system32" / "hosts",
            "# Norvexa: servidor de datos y servidor de soporte\n"
            "127.0.0.1       nxservidor\n"
            "127.0.0.1       nxsoporte\n");

  // The product's own programs.
  CopyProgram(options.binFolder, "actualizador", root / "actualizador" / "actualizador.exe");
  WriteText(root / "actualizador" / "actualizador.ini", "[ACTUALIZADOR]\nAPLICACION=" + app + "\n");
  WriteStandIn(root / "actualizador" / "antiguo" / "actualizador-1.0.txt",
               "an older updater, kept on the medium only");
  CopyProgram(options.binFolder, "uninstall", root / "UnInstall.exe");

  // Auxiliary folders.
  WriteStandIn(root / "Remoto" / "Conexiones.txt", "remote connection list");
  WriteStandIn(root / "Remoto" / "oculto.dat", "hidden remote settings");
  WriteStandIn(root / "fuentes" / "NorvexaSans.ttf", "font Norvexa Sans");
  WriteStandIn(root / "fuentes" / "NorvexaSans-Negrita.ttf", "font Norvexa Sans bold");
  WriteStandIn(root / "fuentes" / "NorvexaOculta.ttf", "hidden font");
  WriteStandIn(root / "fuentes" / "extra" / "NorvexaMono.ttf", "font Norvexa Mono, in a subfolder");
  WriteStandIn(root / "Ftp" / "nxftp.ini", "FTP backup settings");
  WriteStandIn(root / "Ftp" / "plantillas" / "copia.txt", "FTP backup template");
  WriteStandIn(root / "Ayuda" / (app + ".chm"), "help of the application");
  WriteStandIn(root / "Ayuda" / "imagenes" / "portada.txt", "help picture");
  CopyProgram(options.binFolder, "winvnc", root / "vnc" / "winvnc.exe");
  WriteText(root / "vnc" / "ultravnc.ini", "[admin]\nUseRegistry=0\nAllowShutdown=0\n");
  for (int technician = 1; technician <= 5; ++technician) {
    WriteText(root / "vnc" / ("remoto" + std::to_string(technician) + ".bat"), Script(technician, false));
    WriteText(root / "vnc" / ("remoto" + std::to_string(technician) + " - XP.bat"), Script(technician, true));
  }

  // Hidden files, as the machine keeps the attribute: through a throw-away machine that sees the
  // medium as a drive.
  {
    std::string machineRoot = (fs::temp_directory_path() / "nx-medium-machine-XXXXXX").string();
    if (!mkdtemp(machineRoot.data())) throw std::runtime_error("cannot create a temporary machine");
    struct Cleanup {
      std::string path;
      ~Cleanup() {
        std::error_code ec;
        fs::remove_all(path, ec);
      }
    } cleanup{machineRoot};
    HostedMachine::Create(machineRoot, "");
    HostedMachine machine(machineRoot);
    machine.MapDrive('M', root.string());
    FileSystem& files = *machine.platform().files;
    for (const char* hidden : {"M:\\fuentes\\NorvexaOculta.ttf", "M:\\Remoto\\oculto.dat"})
      files.SetAttributes(hidden, kAttrHidden | kAttrArchive);
  }

  WriteText(root / kMarker, "generation=" + std::string(options.generation3 ? "3" : "2.5") +
                                "\nversion=" + options.version + "\n" +
                                (options.failingChange ? "failing-change=" + std::to_string(options.failingChange) + "\n" : ""));
}

}  // namespace

void BuildMedium(const MediumOptions& options) {
  if (options.output.empty()) throw std::runtime_error("no output folder given");
  if (options.version.empty() || options.version.find_first_not_of("0123456789.") != std::string::npos)
    throw std::runtime_error("the version must be digits and dots: \"" + options.version + "\"");
  fs::path output = fs::absolute(options.output);
  std::error_code ec;
  if (fs::exists(output) && !fs::is_empty(output, ec) && !fs::exists(output / kMarker))
    throw std::runtime_error(output.string() + " holds files that are not a medium built here; "
                             "give an empty or new folder");
  fs::create_directories(output.parent_path());
  std::string staging = output.string() + ".building-XXXXXX";
  if (!mkdtemp(staging.data())) throw std::runtime_error("cannot create " + staging);
  fs::permissions(staging, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  try {
    BuildInto(staging, options);
  } catch (...) {
    fs::remove_all(staging, ec);
    throw;
  }
  // Swapped in whole, so that a failed build never leaves half a medium behind.
  fs::path previous = output.string() + ".previous";
  fs::remove_all(previous, ec);
  if (fs::exists(output)) fs::rename(output, previous);
  fs::rename(staging, output);
  fs::remove_all(previous, ec);
}

}  // namespace nx::medium
