#include "tools/cmd/copy_command.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "tools/cmd/name_template.h"
#include "tools/cmd/tool_arguments.h"
#include "tools/cmd/tool_console.h"
#include "tools/cmd/tool_paths.h"

namespace nx::tools {
namespace {

constexpr char kCtrlZ = '\x1A';

enum class Mode { kDefault, kText, kBinary };

struct Piece {
  std::string typed;  // as written, quotes removed
  Mode mode = Mode::kDefault;
};

// An operand: one name, or names joined with '+'.
struct Operand {
  std::vector<Piece> pieces;
};

struct Parsed {
  std::vector<Operand> operands;
  std::optional<bool> overwrite;  // /Y, /-Y
  std::string badSwitch;
  bool syntaxError = false;
};

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '='; }

Parsed Parse(const std::string& text) {
  Parsed p;
  Mode mode = Mode::kDefault;
  bool joinNext = false;  // a '+' was seen: the next name joins the last operand
  Piece* last = nullptr;  // the name a following /A or /B also applies to
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (IsSeparator(c)) {
      ++i;
      continue;
    }
    if (c == '+') {
      if (p.operands.empty()) p.syntaxError = true;
      joinNext = true;
      last = nullptr;
      ++i;
      continue;
    }
    if (c == '/') {
      size_t end = i + 1;
      while (end < text.size() && !IsSeparator(text[end]) && text[end] != '/' && text[end] != '+' &&
             text[end] != '"')
        ++end;
      std::string name = Lower(text.substr(i + 1, end - i - 1));
      if (name == "y") {
        p.overwrite = true;
      } else if (name == "-y") {
        p.overwrite = false;
      } else if (name == "a" || name == "b") {
        mode = name == "a" ? Mode::kText : Mode::kBinary;
        if (last != nullptr) last->mode = mode;
      } else if (name == "v" || name == "n" || name == "z" || name == "l" || name == "d") {
      } else if (p.badSwitch.empty()) {
        p.badSwitch = text.substr(i, end - i);
      }
      i = end;
      continue;
    }
    Piece piece;
    piece.mode = mode;
    bool quoted = false;
    while (i < text.size()) {
      char d = text[i];
      if (d == '"') {
        quoted = !quoted;
      } else if (!quoted && (IsSeparator(d) || d == '+' || d == '/')) {
        break;
      } else {
        piece.typed += d;
      }
      ++i;
    }
    if (piece.typed.empty()) continue;  // "" names nothing
    if (joinNext && !p.operands.empty()) {
      p.operands.back().pieces.push_back(piece);
    } else {
      p.operands.push_back(Operand{{piece}});
    }
    joinNext = false;
    last = &p.operands.back().pieces.back();
  }
  if (joinNext) p.syntaxError = true;  // a trailing '+'
  return p;
}

// A source file found for a piece.
struct SourceFile {
  std::string path;     // absolute
  std::string name;     // its name
  std::string display;  // what is printed for it
  Mode mode;
};

std::string CountLine(int n) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%9d archivo(s) copiado(s).", n);
  return buffer;
}

class CopyRun {
 public:
  CopyRun(FileSystem& files, bool askBeforeOverwrite)
      : files_(files), ask_(askBeforeOverwrite) {}

  int Run(const Parsed& p) {
    const Operand& sources = p.operands[0];
    const Operand* destination = p.operands.size() > 1 ? &p.operands[1] : nullptr;
    if (destination != nullptr && destination->pieces.size() != 1) return Syntax();

    bool anyWildcard = false;
    std::vector<SourceFile> found;
    for (const Piece& piece : sources.pieces) {
      anyWildcard = anyWildcard || HasWildcards(piece.typed);
      if (!Expand(piece, found, sources.pieces.size() > 1)) return Finish(1);
    }

    Mode targetMode = destination ? destination->pieces[0].mode : sources.pieces.back().mode;
    std::string typedTarget = destination ? destination->pieces[0].typed : "";
    std::string target;
    bool targetIsFolder = false, targetIsTemplate = false;
    if (destination == nullptr) {
      if (sources.pieces.size() > 1) {
        target = found.front().path;  // "copy a+b" appends to a
      } else {
        target = CurrentFolder();
        targetIsFolder = true;
      }
    } else {
      target = AbsolutePath(typedTarget);
      if (HasWildcards(ParentFolder(target))) return Error(SystemMessage(kErrorInvalidName));
      targetIsTemplate = HasWildcards(LastComponent(target));
      targetIsFolder = !targetIsTemplate && (EndsWithSeparator(typedTarget) ||
                                             IsDriveRoot(target) || files_.DirectoryExists(target));
    }

    bool join = sources.pieces.size() > 1 || (anyWildcard && !targetIsFolder && !targetIsTemplate);
    if (join) {
      std::string to = target;
      if (targetIsFolder) to = JoinPath(target, found.front().name);
      if (targetIsTemplate)
        to = JoinPath(ParentFolder(target), ApplyNameTemplate(found.front().name, LastComponent(target)));
      Join(found, to, targetMode);
    } else {
      for (const SourceFile& f : found) {
        std::string to = targetIsFolder     ? JoinPath(target, f.name)
                         : targetIsTemplate ? JoinPath(ParentFolder(target),
                                                       ApplyNameTemplate(f.name, LastComponent(target)))
                                            : target;
        if (anyWildcard) OutLine(f.display);
        if (!CopyOne(f, to, targetMode)) break;
      }
    }
    return Finish(failed_ ? 1 : 0);
  }

 private:
  int Syntax() {
    ErrLine("La sintaxis del comando no es correcta.");
    return 1;
  }

  int Error(const std::string& message) {
    ErrLine(message);
    return Finish(1);
  }

  int Finish(int code) {
    OutLine(CountLine(copied_));
    return code;
  }

  // The files a piece names; false (after the message) when there is none.
  bool Expand(const Piece& piece, std::vector<SourceFile>& out, bool joining) {
    std::string path;
    try {
      path = AbsolutePath(piece.typed);
    } catch (const OsError& e) {
      ErrLine(SystemMessage(e.code()));
      return false;
    }
    std::string folder = ParentFolder(path), name = LastComponent(path), pattern;
    if (!HasWildcards(name) && !joining && files_.DirectoryExists(path)) {
      folder = path;
      pattern.assign(1, '*');  // (a plain assignment trips GCC 12's -Wrestrict)
    } else if (HasWildcards(name)) {
      pattern = name;
    }
    if (pattern.empty()) {
      if (!files_.FileExists(path)) {
        ErrLine(SystemMessage(files_.DirectoryExists(folder) ? kErrorFileNotFound : kErrorPathNotFound));
        return false;
      }
      out.push_back(SourceFile{path, name, piece.typed, piece.mode});
      return true;
    }
    std::vector<FoundFile> matches = files_.FindFiles(JoinPath(folder, pattern));
    std::sort(matches.begin(), matches.end(), [](const FoundFile& a, const FoundFile& b) {
      return FoldCase(a.name) < FoldCase(b.name);
    });
    size_t before = out.size();
    for (const FoundFile& m : matches) {
      if (m.attributes & (kAttrDirectory | kAttrHidden | kAttrSystem)) continue;
      std::string p = JoinPath(folder, m.name);
      out.push_back(SourceFile{p, m.name, p, piece.mode});
    }
    if (out.size() == before) {
      ErrLine(SystemMessage(kErrorFileNotFound));
      return false;
    }
    return true;
  }

  bool SameFile(const std::string& a, const std::string& b) {
    try {
      return files_.NativePath(a) == files_.NativePath(b);
    } catch (const OsError&) {
      return SamePath(a, b);
    }
  }

  // True when the target may be written: it is missing, or the answer allows it.
  bool MayOverwrite(const std::string& to) {
    if (!ask_ || overwriteAll_ || !files_.FileExists(to)) return true;
    for (;;) {
      Out("¿Sobrescribir " + to + "? (Sí/No/Todos): ");
      std::optional<std::string> line = inputEnded_ ? std::nullopt : ReadAnswer();
      if (!line) {
        inputEnded_ = true;
        OutLine("");
        return false;
      }
      std::string a = Lower(*line);
      size_t start = a.find_first_not_of(" \t");
      char c = start == std::string::npos ? '\0' : a[start];
      if (c == 's' || c == 'y') return true;
      if (c == 'n') return false;
      if (c == 't' || c == 'a') {
        overwriteAll_ = true;
        return true;
      }
    }
  }

  void CheckWritable(const std::string& to) {
    uint32_t attributes = files_.GetAttributes(to);
    if (attributes == kInvalidFileAttributes) {
      if (!files_.DirectoryExists(ParentFolder(to))) throw OsError(kErrorPathNotFound, to);
      return;
    }
    if (attributes & (kAttrReadOnly | kAttrDirectory)) throw OsError(kErrorAccessDenied, to);
  }

  static std::string TextPart(const std::string& bytes) {
    size_t end = bytes.find(kCtrlZ);
    return end == std::string::npos ? bytes : bytes.substr(0, end);
  }

  bool CopyOne(const SourceFile& f, const std::string& to, Mode targetMode) {
    if (SameFile(f.path, to)) {
      ErrLine("El archivo no se puede copiar sobre sí mismo.");
      failed_ = true;
      return false;
    }
    if (!MayOverwrite(to)) return true;
    try {
      CheckWritable(to);
      if (f.mode == Mode::kText || targetMode == Mode::kText) {
        std::string bytes = files_.ReadFile(f.path);
        if (f.mode == Mode::kText) bytes = TextPart(bytes);
        if (targetMode == Mode::kText) bytes += kCtrlZ;
        files_.WriteFile(to, bytes);
      } else {
        files_.CopyFile(f.path, to, false);
      }
      ++copied_;
      return true;
    } catch (const OsError& e) {
      ErrLine(SystemMessage(e.code()));
      failed_ = true;
      return false;
    }
  }

  void Join(const std::vector<SourceFile>& pieces, const std::string& to, Mode targetMode) {
    bool appendToFirst = SameFile(pieces.front().path, to);
    if (!appendToFirst && !MayOverwrite(to)) return;
    std::string bytes;
    try {
      for (size_t i = 0; i < pieces.size(); ++i) {
        const SourceFile& f = pieces[i];
        OutLine(f.display);
        if (i > 0 && SameFile(f.path, to)) {
          // Windows empties the target before it reads this piece.
          ErrLine("El contenido del archivo de destino se perdió antes de la copia.");
          continue;
        }
        std::string part = files_.ReadFile(f.path);
        bytes += f.mode == Mode::kText ? TextPart(part) : part;
      }
      if (targetMode == Mode::kText) bytes += kCtrlZ;
      CheckWritable(to);
      files_.WriteFile(to, bytes);
      ++copied_;
    } catch (const OsError& e) {
      ErrLine(SystemMessage(e.code()));
      failed_ = true;
    }
  }

  FileSystem& files_;
  bool ask_;
  bool overwriteAll_ = false;
  bool inputEnded_ = false;
  bool failed_ = false;
  int copied_ = 0;
};

}  // namespace

int RunCopy(const std::string& argumentsText, bool inBatchFile) {
  Parsed p = Parse(argumentsText);
  if (!p.badSwitch.empty()) {
    ErrLine("Modificador no válido - " + p.badSwitch);
    return 1;
  }
  if (p.syntaxError || p.operands.empty() || p.operands.size() > 2) {
    ErrLine("La sintaxis del comando no es correcta.");
    return 1;
  }
  // COPYCMD gives the default of /Y and /-Y; the line has the last word.
  std::optional<bool> overwrite = p.overwrite;
  if (!overwrite) {
    std::string copycmd = Lower(CurrentPlatform().environment->Get("COPYCMD").value_or(""));
    if (copycmd.find("/-y") != std::string::npos) overwrite = false;
    else if (copycmd.find("/y") != std::string::npos) overwrite = true;
  }
  bool ask = overwrite.has_value() ? !*overwrite : !inBatchFile;
  CopyRun run(*CurrentPlatform().files, ask);
  try {
    return run.Run(p);
  } catch (const OsError& e) {
    ErrLine(SystemMessage(e.code()));
    OutLine(CountLine(0));
    return 1;
  }
}

}  // namespace nx::tools
