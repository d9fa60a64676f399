#pragma once
// Splitting a Windows command line the way the console tools split theirs: blanks and tabs
// separate, double quotes group and are dropped, and a backslash is an ordinary character
// ("C:\dst\" stays a folder name, unlike the C runtime's rules).

#include <string>
#include <vector>

namespace nx::tools {

// The text after the program's name: the first token, in double quotes or up to the first blank,
// as CreateProcess reads it. Leading blanks of the rest are kept.
std::string ArgumentsText(const std::string& commandLine);

struct ToolArgument {
  std::string text;     // quotes removed
  bool quoted = false;  // a double quote appeared in it
  // True when the token is a switch: it starts with an unquoted '/'.
  bool IsSwitch() const { return !quoted && !text.empty() && text[0] == '/'; }
};

// With slashStartsToken an unquoted '/' also begins a new token, so "/C/Y/I" gives three
// switches and "dst"/Y gives a path and a switch (xcopy's way).
std::vector<ToolArgument> SplitArguments(const std::string& text, bool slashStartsToken);

// ASCII letters to lower case, for comparing words with the keywords of a command.
std::string Lower(const std::string& text);

// "C/Y" style letters are compared without regard to case.
bool SameSwitch(const std::string& text, const char* name);

}  // namespace nx::tools
