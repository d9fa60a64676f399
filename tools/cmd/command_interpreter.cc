#include "tools/cmd/command_interpreter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "tools/cmd/copy_command.h"
#include "tools/cmd/tool_arguments.h"
#include "tools/cmd/tool_console.h"
#include "tools/cmd/tool_paths.h"

namespace nx::tools {
namespace {

constexpr int kNotRecognized = 9009;

// Internal commands of Windows' cmd that this one does not carry out.
const char* const kRefused[] = {
    "assoc", "break", "cls",    "color",  "date",   "del",   "dir",    "endlocal", "erase",
    "for",   "ftype", "if",     "md",     "mkdir",  "mklink", "move",  "path",     "pause",
    "popd",  "prompt", "pushd", "rd",     "ren",    "rename", "rmdir", "setlocal", "shift",
    "start", "time",  "title",  "verify", "vol",    "ver"};

// Characters cmd takes as separators between a command's words.
bool IsDelimiter(char c) { return IsBlank(c) || c == ',' || c == ';' || c == '='; }

std::string TrimLeft(const std::string& s, bool alsoDelimiters = false) {
  size_t i = 0;
  while (i < s.size() && (alsoDelimiters ? IsDelimiter(s[i]) : IsBlank(s[i]))) ++i;
  return s.substr(i);
}

std::string Trim(const std::string& s) {
  std::string t = TrimLeft(s);
  while (!t.empty() && IsBlank(t.back())) t.pop_back();
  return t;
}

std::string Dequote(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  if (!s.empty() && s.front() == '"') return s.substr(1);
  return s;
}

// True when text (after blanks and '@') is a REM command: the rest of the line is a comment.
bool StartsWithRem(const std::string& text, size_t from) {
  size_t i = from;
  while (i < text.size() && (IsDelimiter(text[i]) || text[i] == '@')) ++i;
  if (text.size() - i < 3) return false;
  if (Lower(text.substr(i, 3)) != "rem") return false;
  return i + 3 == text.size() || IsDelimiter(text[i + 3]) || text[i + 3] == '/';
}

struct Redirect {
  int fd = 1;
  bool input = false;
  bool append = false;
  int duplicateOf = -1;  // 2>&1
  std::string target;
};

enum class Link { kAlways, kOnSuccess, kOnFailure };

struct Segment {
  std::string text;
  std::vector<Redirect> redirects;
  Link link = Link::kAlways;
};

struct SplitResult {
  std::vector<Segment> segments;
  std::string error;
};

// Splits at unquoted & && || and takes out the redirections, honouring ^ and quotes.
SplitResult SplitLine(const std::string& line) {
  SplitResult r;
  Segment current;
  bool quoted = false;
  size_t i = 0;
  auto readTarget = [&](Redirect& redirect) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    bool q = false;
    while (i < line.size()) {
      char c = line[i];
      if (c == '"') {
        q = !q;
      } else if (!q && (IsBlank(c) || c == '&' || c == '|' || c == '<' || c == '>')) {
        break;
      } else {
        redirect.target += c;
      }
      ++i;
    }
  };
  while (i < line.size()) {
    char c = line[i];
    if (quoted) {
      current.text += c;
      if (c == '"') quoted = false;
      ++i;
      continue;
    }
    if (c == '"') {
      quoted = true;
      current.text += c;
      ++i;
    } else if (c == '^' && i + 1 < line.size()) {
      current.text += line[i + 1];
      i += 2;
    } else if (c == '&' || c == '|') {
      Link link = Link::kAlways;
      if (c == '|' && (i + 1 >= line.size() || line[i + 1] != '|')) {
        r.error = "Las canalizaciones (|) no están disponibles en este intérprete.";
        return r;
      }
      if (i + 1 < line.size() && line[i + 1] == c) {
        link = c == '&' ? Link::kOnSuccess : Link::kOnFailure;
        i += 2;
      } else {
        i += 1;
      }
      r.segments.push_back(current);
      current = Segment();
      current.link = link;
      if (StartsWithRem(line, i)) {
        current.text = line.substr(i);
        i = line.size();
      }
    } else if (c == '>' || c == '<') {
      Redirect redirect;
      redirect.input = c == '<';
      redirect.fd = redirect.input ? 0 : 1;
      // A single digit right before it, standing alone, names the handle: 2>err.txt
      if (!current.text.empty() && (current.text.back() == '1' || current.text.back() == '2') &&
          (current.text.size() == 1 || IsBlank(current.text[current.text.size() - 2]))) {
        redirect.fd = current.text.back() - '0';
        current.text.pop_back();
      }
      ++i;
      if (!redirect.input && i < line.size() && line[i] == '>') {
        redirect.append = true;
        ++i;
      }
      if (i + 1 < line.size() && line[i] == '&' && std::isdigit(static_cast<unsigned char>(line[i + 1]))) {
        redirect.duplicateOf = line[i + 1] - '0';
        i += 2;
      } else {
        readTarget(redirect);
        if (redirect.target.empty()) {
          r.error = "La sintaxis del comando no es correcta.";
          return r;
        }
      }
      current.redirects.push_back(redirect);
    } else {
      current.text += c;
      ++i;
    }
  }
  r.segments.push_back(current);
  return r;
}

// Redirections applied to this process's handles for one command, undone afterwards.
class RedirectScope {
 public:
  bool Apply(const std::vector<Redirect>& redirects) {
    for (const Redirect& r : redirects) {
      int fd = -1;
      if (r.duplicateOf >= 0) {
        fd = ::dup(r.duplicateOf);
      } else {
        std::string host;
        if (EqualsIgnoreCase(r.target, "nul")) {
          host = "/dev/null";
        } else {
          try {
            std::string path = AbsolutePath(r.target);
            FileSystem& files = *CurrentPlatform().files;
            uint32_t attributes = files.GetAttributes(path);
            if (!r.input && attributes != kInvalidFileAttributes &&
                (attributes & (kAttrReadOnly | kAttrDirectory)))
              throw OsError(kErrorAccessDenied, path);
            host = files.NativePath(path);
          } catch (const OsError& e) {
            ErrLine(SystemMessage(e.code()));
            return false;
          }
        }
        int flags = r.input ? O_RDONLY : (O_WRONLY | O_CREAT | (r.append ? O_APPEND : O_TRUNC));
        fd = ::open(host.c_str(), flags | O_CLOEXEC, 0666);
        if (fd < 0) {
          ErrLine(SystemMessage(r.input ? kErrorFileNotFound : kErrorPathNotFound));
          return false;
        }
      }
      if (fd < 0) return false;
      saved_.push_back({r.fd, ::dup(r.fd)});
      ::dup2(fd, r.fd);
      ::close(fd);
    }
    return true;
  }

  ~RedirectScope() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second >= 0) {
        ::dup2(it->second, it->first);
        ::close(it->second);
      }
    }
  }

 private:
  std::vector<std::pair<int, int>> saved_;  // handle, its saved copy
};

// Words of a batch file's argument text, quotes kept: blanks, ',', ';' and '=' separate.
std::vector<std::string> BatchArguments(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (!quoted && IsDelimiter(c)) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

// %~dp1 and friends: the parts of a path the modifier letters ask for.
std::string ApplyModifiers(const std::string& modifiers, const std::string& value) {
  if (modifiers.empty()) return value;
  std::string full;
  try {
    full = AbsolutePath(value);
  } catch (const OsError&) {
    return value;
  }
  std::string folder = ParentFolder(full), name = LastComponent(full);
  if (folder.back() != '\\') folder += '\\';
  size_t dot = name.rfind('.');
  std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  std::string m = Lower(modifiers);
  if (m == "f") return full;
  std::string out;
  if (m.find('d') != std::string::npos) out += full.substr(0, 2);
  if (m.find('p') != std::string::npos) out += folder.substr(2);
  if (m.find('n') != std::string::npos) out += base;
  if (m.find('x') != std::string::npos) out += extension;
  if (m.find('f') != std::string::npos && out.empty()) out = full;
  return out;
}

}  // namespace

CommandInterpreter::CommandInterpreter() {
  const char* show = std::getenv("NXSETUP_SHOW");
  if (show != nullptr) showMode_ = static_cast<unsigned short>(std::atoi(show));
}

int CommandInterpreter::RunProgram(const std::string& commandLine) {
  std::string text = ArgumentsText(commandLine);
  bool stripQuotesOnly = false;  // /S
  size_t i = 0;
  for (;;) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size() || text[i] != '/' || i + 1 >= text.size()) {
      ErrLine("Este intérprete solo ejecuta una orden dada con /C o /K.");
      return 1;
    }
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
    if (letter == 'C' || letter == 'K') {
      i += 2;
      break;
    }
    if (letter == 'S') stripQuotesOnly = true;
    if (letter == 'Q') echoOn_ = false;
    if (std::string("SQDAUEFVT").find(letter) == std::string::npos) {
      ErrLine("Modificador no válido - /" + std::string(1, text[i + 1]));
      return 1;
    }
    i += 2;
    while (i < text.size() && !IsBlank(text[i]) && text[i] != '/') ++i;  // /E:ON and the like
  }
  std::string command = TrimLeft(text.substr(i));
  // cmd's quote rule: the quotes stay only when there are exactly two, around the name of an
  // existing program that holds a blank and no special character; otherwise a leading quote and
  // the last quote of the line go.
  if (!command.empty() && command[0] == '"') {
    size_t quotes = 0;
    for (char c : command) quotes += c == '"';
    size_t close = command.find('"', 1);
    bool keep = false;
    if (!stripQuotesOnly && quotes == 2) {
      std::string inner = command.substr(1, close - 1);
      keep = inner.find_first_of("&<>()@^|") == std::string::npos &&
             inner.find_first_of(" \t") != std::string::npos && FindProgram(inner).has_value();
    }
    if (!keep) {
      size_t last = command.rfind('"');
      command = command.substr(1, last - 1) + command.substr(last + 1);
    }
  }
  return RunLine(command);
}

int CommandInterpreter::RunLine(const std::string& line) {
  errorLevel_ = RunCommands(Expand(line));
  return exitRequested_ ? exitCode_ : errorLevel_;
}

std::optional<std::string> CommandInterpreter::Variable(const std::string& name) const {
  if (EqualsIgnoreCase(name, "errorlevel")) return std::to_string(errorLevel_);
  if (EqualsIgnoreCase(name, "cd")) {
    try {
      return CurrentFolder();
    } catch (const OsError&) {
      return std::nullopt;
    }
  }
  return CurrentPlatform().environment->Get(name);
}

std::string CommandInterpreter::Expand(const std::string& line) const {
  const BatchContext* batch = batches_.empty() ? nullptr : batches_.back();
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (batch != nullptr && i + 1 < line.size()) {
      char next = line[i + 1];
      if (next == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (next == '*') {
        out += batch->argumentsText;
        ++i;
        continue;
      }
      size_t j = i + 1;
      std::string modifiers;
      bool tilde = next == '~';
      if (tilde) {
        ++j;
        while (j < line.size() && std::string("fdpnxFDPNX").find(line[j]) != std::string::npos)
          modifiers += line[j++];
      }
      if (j < line.size() && std::isdigit(static_cast<unsigned char>(line[j]))) {
        int n = line[j] - '0';
        std::string value;
        if (n == 0) {
          value = modifiers.empty() ? batch->calledAs : batch->path;
        } else if (static_cast<size_t>(n) <= batch->arguments.size()) {
          value = batch->arguments[n - 1];
        }
        if (tilde) value = ApplyModifiers(modifiers, Dequote(value));
        out += value;
        i = j;
        continue;
      }
    }
    size_t end = line.find('%', i + 1);
    if (end == std::string::npos) {
      if (batch == nullptr) out += c;  // a lone % stays on the command line, goes in a batch file
      continue;
    }
    std::string name = line.substr(i + 1, end - i - 1);
    std::optional<std::string> value = name.empty() ? std::nullopt : Variable(name);
    if (value) {
      out += *value;
      i = end;
    } else if (batch != nullptr) {
      i = end;  // an unset variable expands to nothing in a batch file
    } else {
      out += c;  // and stays as written on the command line
    }
  }
  return out;
}

int CommandInterpreter::RunCommands(const std::string& line) {
  if (StartsWithRem(line, 0)) return errorLevel_;
  SplitResult split = SplitLine(line);
  if (!split.error.empty()) {
    ErrLine(split.error);
    return 1;
  }
  int result = errorLevel_;
  for (const Segment& segment : split.segments) {
    if (segment.link == Link::kOnSuccess && result != 0) continue;
    if (segment.link == Link::kOnFailure && result == 0) continue;
    {
      RedirectScope scope;
      result = scope.Apply(segment.redirects) ? RunSimple(segment.text) : 1;
    }
    errorLevel_ = result;
    if (exitRequested_) break;
    if (!batches_.empty() && (batches_.back()->endBatch || batches_.back()->gotoLabel)) break;
  }
  return result;
}

int CommandInterpreter::RunSimple(const std::string& command) {
  std::string text = TrimLeft(command, true);
  while (!text.empty() && text[0] == '@') text = TrimLeft(text.substr(1), true);
  if (text.empty()) return errorLevel_;

  std::string name, rest;
  if (text[0] == '"') {
    size_t close = text.find('"', 1);
    name = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    rest = close == std::string::npos ? "" : text.substr(close + 1);
  } else {
    size_t end = 0;
    while (end < text.size() && !IsDelimiter(text[end]) && text[end] != '"') ++end;
    name = text.substr(0, end);
    rest = text.substr(end);
    // "copy/Y", "echo." and the like: an internal command ends at such a character too.
    size_t cut = name.find_first_of("/.:(+[]\\");
    if (cut != std::string::npos && cut > 0) {
      std::string head = Lower(name.substr(0, cut));
      bool internal = head == "copy" || head == "echo" || head == "type" || head == "cd" ||
                      head == "chdir" || head == "exit" || head == "set" || head == "call" ||
                      head == "goto" || head == "rem";
      if (internal) {
        rest = name.substr(cut) + rest;
        name = name.substr(0, cut);
      }
    }
  }
  std::string word = Lower(name);
  if (word == "copy") return RunCopy(rest, !batches_.empty());
  if (word == "echo") return Echo(rest);
  if (word == "rem") return errorLevel_;
  if (word == "exit") return Exit(rest);
  if (word == "type") return Type(rest);
  if (word == "cd" || word == "chdir") return ChangeFolder(rest);
  if (word == "set") return Set(rest);
  if (word == "call") return Call(rest);
  if (word == "goto") return Goto(rest);
  for (const char* refused : kRefused) {
    if (word == refused) {
      ErrLine("El comando interno " + name + " no está disponible en este intérprete.");
      return 1;
    }
  }
  return RunExternal(name, text, rest);
}

std::optional<std::string> CommandInterpreter::FindProgram(const std::string& name) const {
  if (name.empty() || HasWildcards(name)) return std::nullopt;
  FileSystem& files = *CurrentPlatform().files;
  std::vector<std::string> extensions;
  {
    std::string pathext = CurrentPlatform().environment->Get("PATHEXT").value_or(".COM;.EXE;.BAT;.CMD");
    size_t start = 0;
    while (start <= pathext.size()) {
      size_t end = pathext.find(';', start);
      if (end == std::string::npos) end = pathext.size();
      std::string e = Trim(pathext.substr(start, end - start));
      if (!e.empty()) extensions.push_back(FoldCase(e));
      start = end + 1;
    }
  }
  std::string last = name.substr(name.find_last_of("\\/:") == std::string::npos ? 0 : name.find_last_of("\\/:") + 1);
  size_t dot = last.rfind('.');
  bool knownExtension = false;
  if (dot != std::string::npos) {
    std::string e = FoldCase(last.substr(dot));
    for (const std::string& x : extensions) knownExtension = knownExtension || x == e;
  }
  auto tryBase = [&](const std::string& base) -> std::optional<std::string> {
    try {
      if (knownExtension && files.FileExists(base)) return base;
      for (const std::string& e : extensions) {
        if (files.FileExists(base + e)) return base + e;
      }
    } catch (const OsError&) {
    }
    return std::nullopt;
  };
  if (name.find_first_of("\\/:") != std::string::npos) {
    try {
      return tryBase(AbsolutePath(name));
    } catch (const OsError&) {
      return std::nullopt;
    }
  }
  std::vector<std::string> folders;
  try {
    folders.push_back(CurrentFolder());
  } catch (const OsError&) {
  }
  std::string path = CurrentPlatform().environment->Get("PATH").value_or("");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(';', start);
    if (end == std::string::npos) end = path.size();
    std::string folder = Dequote(Trim(path.substr(start, end - start)));
    if (!folder.empty()) {
      try {
        folders.push_back(AbsolutePath(folder));
      } catch (const OsError&) {
      }
    }
    start = end + 1;
  }
  for (const std::string& folder : folders) {
    if (std::optional<std::string> found = tryBase(JoinPath(folder, name))) return found;
  }
  return std::nullopt;
}

int CommandInterpreter::RunExternal(const std::string& name, const std::string& command,
                                    const std::string& rest) {
  std::optional<std::string> program = FindProgram(name);
  ProcessRunner& runner = *CurrentPlatform().processes;
  ProcessResult result;
  if (program) {
    std::string extension = Lower(program->substr(program->size() >= 4 ? program->size() - 4 : 0));
    if (extension == ".bat" || extension == ".cmd") {
      int code = RunBatch(*program, name, BatchArguments(rest));
      // A batch file started without CALL does not return to the one that started it.
      if (!batches_.empty() && !calling_) batches_.back()->endBatch = true;
      return code;
    }
    result = runner.RunAndWait("\"" + *program + "\"" + rest, showMode_);
  } else {
    result = runner.RunAndWait(command, showMode_);
  }
  if (!result.started) {
    if (result.error == kErrorFileNotFound || result.error == kErrorPathNotFound ||
        result.error == kErrorInvalidName || result.error == kErrorBadPathname) {
      ErrLine("'" + name + "' no se reconoce como un comando interno o externo,");
      ErrLine("programa o archivo por lotes ejecutable.");
      return kNotRecognized;
    }
    ErrLine(SystemMessage(result.error));
    return 1;
  }
  return static_cast<int>(result.exitCode);
}

int CommandInterpreter::RunBatch(const std::string& path, const std::string& calledAs,
                                 const std::vector<std::string>& arguments) {
  std::string content;
  try {
    content = FromSystemCodePage(CurrentPlatform().files->ReadFile(path));
  } catch (const OsError& e) {
    ErrLine(SystemMessage(e.code()));
    return 1;
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string l = content.substr(start, end - start);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
    start = end + 1;
  }

  BatchContext context;
  context.path = path;
  context.calledAs = calledAs;
  context.arguments = arguments;
  for (size_t i = 0; i < arguments.size(); ++i) context.argumentsText += (i ? " " : "") + arguments[i];
  batches_.push_back(&context);
  bool wasCalling = calling_;
  calling_ = false;

  size_t next = 0;
  while (next < lines.size() && !exitRequested_ && !context.endBatch) {
    const std::string& raw = lines[next++];
    std::string trimmed = TrimLeft(raw, true);
    if (trimmed.empty() || trimmed[0] == ':') continue;  // blank, label or :: comment
    std::string expanded = Expand(raw);
    std::string shown = TrimLeft(expanded, true);
    if (echoOn_ && !shown.empty() && shown[0] != '@') Out("\r\n" + Prompt() + shown + "\r\n");
    errorLevel_ = RunCommands(expanded);
    if (context.gotoLabel) {
      std::string label = FoldCase(*context.gotoLabel);
      context.gotoLabel.reset();
      if (label == "eof") break;
      bool found = false;
      // cmd searches from the line after the GOTO to the end, then from the top.
      for (size_t pass = 0; pass < 2 && !found; ++pass) {
        size_t from = pass == 0 ? next : 0, to = pass == 0 ? lines.size() : next;
        for (size_t k = from; k < to; ++k) {
          std::string t = TrimLeft(lines[k], true);
          if (t.empty() || t[0] != ':') continue;
          std::string l = t.substr(1);
          size_t e = 0;
          while (e < l.size() && !IsDelimiter(l[e]) && l[e] != ':') ++e;
          if (FoldCase(l.substr(0, e)) == label) {
            next = k + 1;
            found = true;
            break;
          }
        }
      }
      if (!found) {
        ErrLine("El sistema no puede encontrar la etiqueta por lotes especificada - " + label);
        errorLevel_ = 1;
        break;
      }
    }
  }
  batches_.pop_back();
  calling_ = wasCalling;
  return errorLevel_;
}

std::string CommandInterpreter::Prompt() const {
  try {
    return CurrentFolder() + ">";
  } catch (const OsError&) {
    return "C:\\>";
  }
}

int CommandInterpreter::Echo(const std::string& rest) {
  std::string text = rest.empty() ? "" : rest.substr(1);
  std::string word = Lower(Trim(text));
  if (word.empty() && (rest.empty() || IsBlank(rest[0]))) {
    OutLine(echoOn_ ? "ECHO está activado." : "ECHO está desactivado.");
  } else if (word == "off" && IsBlank(rest[0])) {
    echoOn_ = false;
  } else if (word == "on" && IsBlank(rest[0])) {
    echoOn_ = true;
  } else {
    OutLine(text);
  }
  return errorLevel_;
}

int CommandInterpreter::Exit(const std::string& rest) {
  std::vector<ToolArgument> args = SplitArguments(rest, false);
  bool batchOnly = !args.empty() && SameSwitch(args[0].text, "/B");
  if (batchOnly) args.erase(args.begin());
  int code = errorLevel_;
  if (!args.empty()) code = std::atoi(args[0].text.c_str());
  if (batchOnly && !batches_.empty()) {
    batches_.back()->endBatch = true;
    return code;
  }
  exitRequested_ = true;
  exitCode_ = code;
  return code;
}

int CommandInterpreter::Type(const std::string& rest) {
  std::vector<ToolArgument> args = SplitArguments(rest, false);
  if (args.empty()) {
    ErrLine("La sintaxis del comando no es correcta.");
    return 1;
  }
  int result = 0;
  for (const ToolArgument& a : args) {
    try {
      Out(CurrentPlatform().files->ReadFile(AbsolutePath(a.text)));
    } catch (const OsError& e) {
      ErrLine(SystemMessage(e.code()));
      result = 1;
    }
  }
  return result;
}

int CommandInterpreter::ChangeFolder(const std::string& rest) {
  std::vector<ToolArgument> args = SplitArguments(rest, false);
  if (!args.empty() && SameSwitch(args[0].text, "/D")) args.erase(args.begin());
  if (args.empty()) {
    OutLine(Prompt().substr(0, Prompt().size() - 1));
    return errorLevel_;
  }
  std::string typed = args[0].text;
  for (size_t k = 1; k < args.size(); ++k) typed += " " + args[k].text;  // cd C:\Program Files
  try {
    std::string folder = AbsolutePath(typed);
    FileSystem& files = *CurrentPlatform().files;
    if (!files.DirectoryExists(folder)) throw OsError(kErrorPathNotFound, folder);
    if (::chdir(files.NativePath(folder).c_str()) != 0) throw OsError(kErrorPathNotFound, folder);
  } catch (const OsError& e) {
    ErrLine(SystemMessage(e.code()));
    return 1;
  }
  return errorLevel_;
}

int CommandInterpreter::Set(const std::string& rest) {
  std::string text = Trim(rest.empty() ? rest : rest.substr(1));
  if (!text.empty() && text[0] == '"') {
    size_t last = text.rfind('"');
    text = text.substr(1, last == 0 ? std::string::npos : last - 1);
  }
  size_t eq = text.find('=');
  if (text.empty() || text[0] == '/' || eq == std::string::npos || eq == 0) {
    ErrLine("SET solo está disponible en la forma SET nombre=valor.");
    return 1;
  }
  std::string name = text.substr(0, eq), value = text.substr(eq + 1);
  // The machine's environment takes its variables from NXSETUP_ENV_ overrides, which the
  // programs started from here inherit; an empty value removes the variable, as on Windows.
  ::setenv(("NXSETUP_ENV_" + name).c_str(), value.c_str(), 1);
  return errorLevel_;
}

int CommandInterpreter::Call(const std::string& rest) {
  std::string text = TrimLeft(rest, true);
  if (!text.empty() && text[0] == ':') {
    ErrLine("CALL a una etiqueta no está disponible en este intérprete.");
    return 1;
  }
  bool was = calling_;
  calling_ = true;
  int code = RunSimple(text);
  calling_ = was;
  return code;
}

int CommandInterpreter::Goto(const std::string& rest) {
  std::string label = Trim(rest.empty() ? rest : rest.substr(1));
  if (!label.empty() && label[0] == ':') label = label.substr(1);
  size_t end = 0;
  while (end < label.size() && !IsDelimiter(label[end])) ++end;
  label = label.substr(0, end);
  if (label.empty()) {
    ErrLine("No se ha especificado ninguna etiqueta para GOTO.");
    return 1;
  }
  if (batches_.empty()) return errorLevel_;
  batches_.back()->gotoLabel = label;
  return errorLevel_;
}

}  // namespace nx::tools
