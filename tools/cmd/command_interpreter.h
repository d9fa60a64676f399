#pragma once
// The command interpreter: cmd /C (or /K, which ends the same way here) and batch files.
//
// A line is expanded (%NAME% from the environment; in a batch file also %0-%9, %*, %~1,
// %~dp0..., %% for %), split into commands at unquoted &, && and || (^ escapes one character),
// and each command gets its redirections (<, >, >>, 2>, 2>&1, NUL) before it runs. Internal
// commands: COPY, ECHO, REM, EXIT [/B] [n], TYPE, CD/CHDIR, SET name=value, CALL, GOTO label /
// :EOF. Any other word names a program, searched in the current folder and then PATH with the
// PATHEXT extensions: .BAT and .CMD files are run line by line here, other programs through the
// machine's process runner, their exit code becoming the errorlevel. A name found nowhere gives
// cmd's "no se reconoce como un comando interno o externo" message and 9009. Other internal
// commands of Windows' cmd (IF, FOR, DIR, DEL...) and pipes are refused with a message and 1.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nx::tools {

class CommandInterpreter {
 public:
  CommandInterpreter();

  // cmd's whole command line (program name included): switches, then /C or /K and the command.
  int RunProgram(const std::string& commandLine);

  // One command line as typed after /C.
  int RunLine(const std::string& line);

  // A batch file: path as found, its arguments as written (quotes kept), the name it was
  // called by (%0).
  int RunBatch(const std::string& path, const std::string& calledAs,
               const std::vector<std::string>& arguments);

 private:
  struct BatchContext {
    std::string path;      // absolute
    std::string calledAs;  // %0
    std::vector<std::string> arguments;
    std::string argumentsText;  // %*
    std::optional<std::string> gotoLabel;
    bool endBatch = false;
  };

  std::string Expand(const std::string& line) const;
  int RunCommands(const std::string& line);
  int RunSimple(const std::string& command);
  int RunExternal(const std::string& name, const std::string& command, const std::string& rest);
  int Echo(const std::string& rest);
  int Exit(const std::string& rest);
  int Type(const std::string& rest);
  int ChangeFolder(const std::string& rest);
  int Set(const std::string& rest);
  int Call(const std::string& rest);
  int Goto(const std::string& rest);

  std::optional<std::string> FindProgram(const std::string& name) const;
  std::optional<std::string> Variable(const std::string& name) const;
  std::string Prompt() const;

  int errorLevel_ = 0;
  bool echoOn_ = true;
  bool exitRequested_ = false;
  int exitCode_ = 0;
  std::vector<BatchContext*> batches_;
  unsigned short showMode_ = 1;
  bool calling_ = false;  // the batch file about to run was started with CALL
};

}  // namespace nx::tools
