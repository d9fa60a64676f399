#include "platform/command_line.h"

#include "platform/text.h"

namespace nx {

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> words;
  if (line.empty()) return words;
  size_t i = 0;
  const size_t n = line.size();

  // The program word: no escapes at all.
  std::string first;
  if (line[0] == '"') {
    ++i;
    while (i < n && line[i] != '"') first.push_back(line[i++]);
    if (i < n) ++i;
  } else {
    while (i < n && !IsBlank(line[i])) first.push_back(line[i++]);
  }
  words.push_back(first);

  while (i < n && IsBlank(line[i])) ++i;
  if (i >= n) return words;

  // The rest, with the quote counting CommandLineToArgvW does: three quotes in a row inside a
  // quoted part give one literal quote.
  std::string word;
  int quotes = 0;
  size_t backslashes = 0;
  bool inWord = true;
  while (i < n) {
    const char c = line[i];
    if (IsBlank(c) && quotes == 0) {
      words.push_back(word);
      word.clear();
      inWord = false;
      backslashes = 0;
      while (i < n && IsBlank(line[i])) ++i;
      if (i < n) inWord = true;
    } else if (c == '\\') {
      word.push_back(c);
      ++backslashes;
      ++i;
    } else if (c == '"') {
      if ((backslashes & 1) == 0) {
        word.resize(word.size() - backslashes / 2);
        ++quotes;
      } else {
        word.resize(word.size() - backslashes / 2 - 1);
        word.push_back('"');
      }
      ++i;
      backslashes = 0;
      while (i < n && line[i] == '"') {
        if (++quotes == 3) {
          word.push_back('"');
          quotes = 0;
        }
        ++i;
      }
      if (quotes == 2) quotes = 0;
    } else {
      word.push_back(c);
      backslashes = 0;
      ++i;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, '\\');
  out.push_back('"');
  return out;
}

std::string JoinCommandLine(const std::vector<std::string>& words) {
  std::string line;
  for (size_t k = 0; k < words.size(); ++k) {
    if (k == 0) {
      const std::string& w = words[0];
      line += (w.empty() || w.find_first_of(" \t") != std::string::npos) ? "\"" + w + "\"" : w;
    } else {
      line += ' ';
      line += QuoteArgument(words[k]);
    }
  }
  return line;
}

}  // namespace nx
