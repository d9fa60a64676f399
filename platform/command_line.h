#pragma once
// Windows command lines: splitting as CommandLineToArgvW does (what every Windows program's C
// runtime sees) and quoting so that a split gives the argument back.

#include <string>
#include <vector>

namespace nx {

// CommandLineToArgvW: the first word ends at the next quote when it starts with one, otherwise at
// the first blank, with no backslash processing; later words follow the backslash-quote rules
// (2n backslashes + quote: n backslashes and a quote toggle; 2n+1: n backslashes and a literal
// quote; "" inside quotes: a literal quote). An empty line gives no words.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The argument written so that SplitCommandLine reads it back unchanged (not for the first word).
std::string QuoteArgument(const std::string& argument);

// The words joined with blanks, each quoted as needed; the first is only put in quotes.
std::string JoinCommandLine(const std::vector<std::string>& words);

}  // namespace nx
