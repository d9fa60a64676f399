#pragma once
// Text files edited as lists of lines: the engine's alias and configuration files and the
// uninstall list. An entry is a line holding an equals sign; its name is the text before the first
// one, taken literally (blanks count: "Port = 1" is named "Port "), and names are compared without
// regard to letter case. Lines keep their order; new lines go to the end.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace nx {

class LineList {
 public:
  enum class IfMissing { kEmpty, kThrow };

  LineList() = default;
  explicit LineList(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  // Reads a file through the current platform: by its byte-order mark when it has one, otherwise
  // in the system code page. Lines end at CR LF, CR or LF; a line end after the last line adds no
  // empty line. A missing file (or folder) gives an empty list with kEmpty and OsError with
  // kThrow; every other read failure throws OsError.
  static LineList Load(const std::string& path, IfMissing ifMissing);

  // Writes every line followed by CR LF, in the system code page without a byte-order mark. The
  // new content goes to a file beside the old one first and then takes its place, so a failure
  // leaves the old file as it was. A line the code page cannot hold throws OsError
  // (kErrorNoUnicodeTranslation) before any file is touched; a read-only file gives
  // kErrorAccessDenied, as writing to it would.
  void Save(const std::string& path) const;

  // The name of the entry the line is, or std::nullopt for a line without an equals sign.
  static std::optional<std::string> EntryName(const std::string& line);

  // Index of the first entry named name, or std::nullopt.
  std::optional<size_t> Find(const std::string& name) const;
  // Deletes the first entry named name, wherever it stands, and appends line at the end.
  void Replace(const std::string& name, const std::string& line);
  void Add(const std::string& line) { lines_.push_back(line); }
  void Delete(size_t index);

  const std::vector<std::string>& lines() const { return lines_; }

  // The lines split as Load splits a file's text; the text as Save writes it, before the code page.
  static std::vector<std::string> Split(const std::string& text);
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace nx
