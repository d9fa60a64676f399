#include "tools/xcopy/xcopy.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "tools/cmd/interrupt.h"
#include "tools/cmd/name_template.h"
#include "tools/cmd/tool_arguments.h"
#include "tools/cmd/tool_console.h"
#include "tools/cmd/tool_paths.h"

namespace nx::tools {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitNothingFound = 1;
constexpr int kExitInterrupted = 2;
constexpr int kExitInitError = 4;
constexpr int kExitWriteError = 5;

struct Options {
  std::string source, destination;
  bool haveDestination = false;
  bool continueOnError = false;  // /C
  std::optional<bool> overwrite;  // /Y or /-Y; unset: ask
  bool assumeFolder = false;     // /I
  bool subfolders = false;       // /S
  bool emptyFolders = false;     // /E
  bool hidden = false;           // /H
  bool quiet = false;            // /Q
  bool fullNames = false;        // /F
  bool listOnly = false;         // /L
  bool readOnlyTargets = false;  // /R
  bool keepAttributes = false;   // /K
};

struct Failure {
  std::string message;
  int exitCode;
};

// Switches Windows' xcopy knows and this one does not carry out: refused rather than ignored,
// so that nobody relies on an effect that does not happen.
const char* const kUnsupported[] = {"A", "M", "D", "P", "W", "T", "U", "N", "O", "X", "G", "B", "J"};

std::optional<Failure> ParseOptions(const std::string& text, Options& o) {
  int positional = 0;
  for (const ToolArgument& arg : SplitArguments(text, true)) {
    if (arg.IsSwitch()) {
      std::string s = arg.text.substr(1);
      std::string name = s.substr(0, s.find(':'));
      if (SameSwitch(s, "C")) o.continueOnError = true;
      else if (SameSwitch(s, "Y")) o.overwrite = true;
      else if (SameSwitch(s, "-Y")) o.overwrite = false;
      else if (SameSwitch(s, "I")) o.assumeFolder = true;
      else if (SameSwitch(s, "S")) o.subfolders = true;
      else if (SameSwitch(s, "E")) o.subfolders = o.emptyFolders = true;
      else if (SameSwitch(s, "H")) o.hidden = true;
      else if (SameSwitch(s, "Q")) o.quiet = true;
      else if (SameSwitch(s, "F")) o.fullNames = true;
      else if (SameSwitch(s, "L")) o.listOnly = true;
      else if (SameSwitch(s, "R")) o.readOnlyTargets = true;
      else if (SameSwitch(s, "K")) o.keepAttributes = true;
      else if (SameSwitch(s, "V") || SameSwitch(s, "Z")) {
      } else {
        bool known = SameSwitch(name, "EXCLUDE");
        for (const char* u : kUnsupported) known = known || SameSwitch(name, u);
        if (known)
          return Failure{"Modificador no disponible en esta máquina - " + arg.text, kExitInitError};
        return Failure{"Modificador no válido - " + arg.text, kExitInitError};
      }
      continue;
    }
    if (positional == 0) {
      o.source = arg.text;
    } else if (positional == 1) {
      o.destination = arg.text;
      o.haveDestination = true;
    } else {
      return Failure{"Número de parámetros no válido", kExitInitError};
    }
    ++positional;
  }
  if (positional == 0 || o.source.empty())
    return Failure{"Número de parámetros no válido", kExitInitError};
  if (o.haveDestination && o.destination.empty())
    return Failure{"Número de parámetros no válido", kExitInitError};
  return std::nullopt;
}

bool IsDiskWriteError(uint32_t code) {
  return code == kErrorDiskFull || code == kErrorHandleDiskFull || code == kErrorWriteFault;
}

bool DriveExists(FileSystem& files, const std::string& path) {
  try {
    return files.DirectoryExists(path.substr(0, 3));
  } catch (const OsError&) {
    return false;
  }
}

// Names sorted the way a Windows volume lists them, so output and order do not depend on the
// host's directory order.
void SortByName(std::vector<FoundFile>& list) {
  std::sort(list.begin(), list.end(), [](const FoundFile& a, const FoundFile& b) {
    return FoldCase(a.name) < FoldCase(b.name);
  });
}

enum class Answer { kYes, kNo, kAll };

class Copier {
 public:
  Copier(FileSystem& files, const Options& o) : files_(files), o_(o) {
    overwriteAll_ = o.overwrite.value_or(false);
  }

  // Copies what matches pattern in sourceFolder (and below it with /S) into targetFolder.
  // fixedName: every file lands under that name (a file target). nameTemplate: wildcard rename.
  void Run(const std::string& sourceFolder, const std::string& pattern,
           const std::string& targetFolder, const std::string& fixedName,
           const std::string& nameTemplate) {
    pattern_ = pattern;
    fixedName_ = fixedName;
    nameTemplate_ = nameTemplate;
    bool createRoot = o_.emptyFolders && !o_.listOnly;
    CopyFolder(sourceFolder, targetFolder, createRoot);
  }

  int copied() const { return copied_; }
  bool matchedAny() const { return matchedAny_; }
  int failures() const { return failures_; }
  int worstExit() const { return worstExit_; }
  bool stopped() const { return stopped_; }
  bool interrupted() const { return interrupted_; }

 private:
  struct TargetFolder {
    std::string path;
    bool exists = false;
    std::unordered_map<std::string, uint32_t> entries;  // folded name -> attributes
    std::optional<bool> sameAsSource;
  };

  void Fail(const std::string& message, uint32_t code) {
    ErrLine(message);
    ++failures_;
    int exit = IsDiskWriteError(code) ? kExitWriteError : kExitInitError;
    worstExit_ = std::max(worstExit_, exit);
    if (!o_.continueOnError) stopped_ = true;
  }

  bool MatchesAll() const { return pattern_ == "*" || pattern_ == "*.*"; }

  bool Wanted(const FoundFile& f) const {
    if (f.name == "." || f.name == "..") return false;
    return o_.hidden || (f.attributes & (kAttrHidden | kAttrSystem)) == 0;
  }

  void OpenTarget(TargetFolder& target) {
    uint32_t attributes = files_.GetAttributes(target.path);
    target.exists = attributes != kInvalidFileAttributes && (attributes & kAttrDirectory);
    if (!target.exists) return;
    for (const FoundFile& f : files_.FindFiles(JoinPath(target.path, "*")))
      target.entries[FoldCase(f.name)] = f.attributes;
  }

  bool EnsureTarget(TargetFolder& target) {
    if (target.exists || o_.listOnly) return true;
    try {
      files_.CreateDirectories(target.path);
      target.exists = true;
      return true;
    } catch (const OsError& e) {
      Fail("No se puede crear el directorio - " + target.path + ": " + SystemMessage(e.code()),
           e.code());
      return false;
    }
  }

  Answer AskOverwrite(const std::string& path) {
    for (;;) {
      Out("¿Sobrescribir " + path + " (Sí/No/Todos)? ");
      std::optional<std::string> line = inputEnded_ ? std::nullopt : ReadAnswer();
      if (!line) {
        inputEnded_ = true;
        OutLine("");
        return Answer::kNo;
      }
      std::string a = Lower(*line);
      size_t start = a.find_first_not_of(" \t");
      char c = start == std::string::npos ? '\0' : a[start];
      if (c == 's' || c == 'y') return Answer::kYes;
      if (c == 'n') return Answer::kNo;
      if (c == 't' || c == 'a') return Answer::kAll;
    }
  }

  void CopyOne(const std::string& sourceFolder, const FoundFile& file, TargetFolder& target) {
    std::string from = JoinPath(sourceFolder, file.name);
    std::string name = !fixedName_.empty()        ? fixedName_
                       : !nameTemplate_.empty()   ? ApplyNameTemplate(file.name, nameTemplate_)
                                                  : file.name;
    std::string to = JoinPath(target.path, name);

    if (!target.sameAsSource) {
      target.sameAsSource = false;
      if (target.exists) {
        try {
          target.sameAsSource = files_.NativePath(target.path) == files_.NativePath(sourceFolder);
        } catch (const OsError&) {
        }
      }
    }
    auto existing = target.entries.find(FoldCase(name));
    bool exists = existing != target.entries.end();
    if (exists && *target.sameAsSource && EqualsIgnoreCase(name, file.name)) {
      Fail("No se puede copiar un archivo sobre sí mismo - " + from, kErrorAccessDenied);
      return;
    }
    if (exists && (existing->second & kAttrDirectory)) {
      if (!o_.quiet) OutLine(from);
      Fail("Error al crear el archivo - " + to + ": " + SystemMessage(kErrorAccessDenied),
           kErrorAccessDenied);
      return;
    }
    if (exists && !overwriteAll_) {
      Answer a = AskOverwrite(to);
      if (a == Answer::kNo) return;
      if (a == Answer::kAll) overwriteAll_ = true;
    }
    if (!o_.quiet) OutLine(o_.fullNames ? from + " -> " + to : from);
    if (o_.listOnly) {
      ++copied_;
      return;
    }
    if (!EnsureTarget(target)) return;
    try {
      // CopyFile will not replace a read-only or hidden file; /R clears the way first.
      if (exists && (existing->second & (kAttrReadOnly | kAttrHidden))) {
        if (!o_.readOnlyTargets) throw OsError(kErrorAccessDenied, to);
        uint32_t kept = existing->second & ~(kAttrReadOnly | kAttrHidden | kAttrDirectory);
        files_.SetAttributes(to, kept != 0 ? kept : kAttrNormal);
      }
      files_.CopyFile(from, to, false);
      if ((file.attributes & kAttrReadOnly) && !o_.keepAttributes) {
        uint32_t kept = file.attributes & ~(kAttrReadOnly | kAttrDirectory);
        files_.SetAttributes(to, kept != 0 ? kept : kAttrNormal);
      }
      target.entries[FoldCase(name)] = file.attributes;
      ++copied_;
    } catch (const OsError& e) {
      Fail("Error al copiar el archivo - " + from + ": " + SystemMessage(e.code()), e.code());
    }
  }

  void CopyFolder(const std::string& sourceFolder, const std::string& targetPath, bool create) {
    TargetFolder target;
    target.path = targetPath;
    OpenTarget(target);
    if (create && !EnsureTarget(target)) return;

    std::vector<FoundFile> all = files_.FindFiles(JoinPath(sourceFolder, "*"));
    std::vector<FoundFile> matched;
    if (MatchesAll()) {
      matched = all;
    } else {
      matched = files_.FindFiles(JoinPath(sourceFolder, pattern_));
    }
    SortByName(matched);
    for (const FoundFile& f : matched) {
      if (stopped_) return;
      if (Interrupted()) {
        interrupted_ = stopped_ = true;
        return;
      }
      if (f.attributes & kAttrDirectory) continue;
      matchedAny_ = true;
      if (!Wanted(f)) continue;
      CopyOne(sourceFolder, f, target);
    }
    if (!o_.subfolders) return;
    SortByName(all);
    for (const FoundFile& f : all) {
      if (stopped_) return;
      if (!(f.attributes & kAttrDirectory) || !Wanted(f)) continue;
      CopyFolder(JoinPath(sourceFolder, f.name), JoinPath(targetPath, f.name),
                 o_.emptyFolders && !o_.listOnly);
    }
  }

  FileSystem& files_;
  const Options& o_;
  std::string pattern_, fixedName_, nameTemplate_;
  bool overwriteAll_ = false;
  bool inputEnded_ = false;
  int copied_ = 0;
  int failures_ = 0;
  int worstExit_ = kExitOk;
  bool stopped_ = false;
  bool interrupted_ = false;
  bool matchedAny_ = false;
};

int Refuse(const std::string& message, int exitCode) {
  ErrLine(message);
  return exitCode;
}

int NothingCopied(const std::string& message) {
  ErrLine(message);
  OutLine("0 Archivo(s) copiado(s)");
  return kExitInitError;
}

// "Is the target a file or a folder?" for a target that does not exist and that nothing on the
// line settles. std::nullopt: no answer (the input ended).
std::optional<bool> AskTargetIsFolder(const std::string& typed) {
  for (;;) {
    Out("¿" + typed +
        " especifica un nombre de archivo\r\no un nombre de directorio en el destino\r\n"
        "(F = archivo, D = directorio)? ");
    std::optional<std::string> line = ReadAnswer();
    if (!line) {
      OutLine("");
      return std::nullopt;
    }
    std::string a = Lower(*line);
    size_t start = a.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    if (a[start] == 'f') return false;
    if (a[start] == 'd') return true;
  }
}

}  // namespace

int RunXcopy(const std::string& argumentsText) {
  WatchForInterrupt();
  Options o;
  if (std::optional<Failure> f = ParseOptions(argumentsText, o)) return Refuse(f->message, f->exitCode);
  FileSystem& files = *CurrentPlatform().files;

  std::string source;
  try {
    source = AbsolutePath(o.source);
  } catch (const OsError& e) {
    return Refuse(SystemMessage(e.code()) + " - " + o.source, kExitInitError);
  }
  if (!DriveExists(files, source)) return Refuse("Unidad especificada no válida", kExitInitError);

  // What to copy: a folder's files, a pattern's matches or one file.
  std::string sourceFolder, pattern;
  bool sourceIsPattern = false;  // several files may match: a folder or a wildcard
  std::string last = LastComponent(source);
  if (HasWildcards(ParentFolder(source)))
    return Refuse(SystemMessage(kErrorInvalidName) + " - " + o.source, kExitInitError);
  if (HasWildcards(last)) {
    sourceFolder = ParentFolder(source);
    pattern = last;
    sourceIsPattern = true;
    if (!files.DirectoryExists(sourceFolder)) return NothingCopied("Archivo no encontrado - " + last);
  } else if (files.DirectoryExists(source)) {
    sourceFolder = source;
    pattern = "*";
    sourceIsPattern = true;
  } else if (files.FileExists(source)) {
    sourceFolder = ParentFolder(source);
    pattern = last;
  } else {
    return NothingCopied("Archivo no encontrado - " + (last.empty() ? o.source : last));
  }

  // Where it goes.
  std::string typedTarget = o.haveDestination ? o.destination : ".";
  std::string target;
  try {
    target = AbsolutePath(typedTarget);
  } catch (const OsError& e) {
    return Refuse(SystemMessage(e.code()) + " - " + typedTarget, kExitInitError);
  }
  if (!DriveExists(files, target)) return Refuse("Unidad especificada no válida", kExitInitError);
  if (HasWildcards(ParentFolder(target)))
    return Refuse(SystemMessage(kErrorInvalidName) + " - " + typedTarget, kExitInitError);

  std::string targetFolder = target, fixedName, nameTemplate;
  std::string targetLast = LastComponent(target);
  if (EndsWithSeparator(typedTarget) || IsDriveRoot(target)) {
    // a folder, by its spelling
  } else if (HasWildcards(targetLast)) {
    targetFolder = ParentFolder(target);
    if (targetLast != "*" && targetLast != "*.*") nameTemplate = targetLast;
  } else if (files.DirectoryExists(target)) {
    // an existing folder
  } else if (files.FileExists(target)) {
    targetFolder = ParentFolder(target);
    fixedName = targetLast;
  } else if (!(o.assumeFolder && sourceIsPattern)) {
    std::optional<bool> folder = AskTargetIsFolder(typedTarget);
    if (!folder) return Refuse("No hay respuesta a la pregunta: no se ha copiado nada.", kExitInitError);
    if (!*folder) {
      targetFolder = ParentFolder(target);
      fixedName = targetLast;
    }
  }
  if (!fixedName.empty() && o.subfolders && sourceIsPattern)
    return Refuse("No se puede crear el directorio " + target + ": ya existe un archivo con ese nombre",
                  kExitInitError);

  if (o.subfolders) {
    std::string from = FoldCase(sourceFolder), to = FoldCase(targetFolder);
    if (from.back() != '\\') from += '\\';
    if (to.back() != '\\') to += '\\';
    if (to.compare(0, from.size(), from) == 0)
      return Refuse("No se puede realizar una copia cíclica", kExitInitError);
  }

  Copier copier(files, o);
  copier.Run(sourceFolder, pattern, targetFolder, fixedName, nameTemplate);
  if (!copier.matchedAny() && copier.failures() == 0) ErrLine("Archivo no encontrado - " + pattern);
  OutLine(std::to_string(copier.copied()) +
          (o.listOnly ? " Archivo(s)" : " Archivo(s) copiado(s)"));
  if (copier.interrupted()) return kExitInterrupted;
  if (copier.failures() > 0) return copier.worstExit();
  if (copier.copied() == 0) return kExitNothingFound;
  return kExitOk;
}

}  // namespace nx::tools
