#pragma once
// Console input and output of the stand-in Windows tools. Text is UTF-8 (the hosted console is a
// Linux terminal) with Windows line ends, written straight to the file descriptor so that the
// output of a tool and of the programs it starts keep their order.

#include <optional>
#include <string>

namespace nx::tools {

void Out(const std::string& text);
void OutLine(const std::string& line);  // line followed by "\r\n"
void ErrLine(const std::string& line);  // on standard error

// One line typed at a question, without its line end; std::nullopt at the end of the input
// (a closed or empty standard input).
std::optional<std::string> ReadAnswer();

}  // namespace nx::tools
