// attrib for the hosted machine: ATTRIB [+R|-R] [+A|-A] [+S|-S] [+H|-H] [path...] [/S [/D]]
// Sets or clears the attributes of the files the paths name (wildcards allowed; /S also in every
// subfolder, /D folders too), or, with no +/- given, lists them as Windows does: the letters A,
// S, H, R in their columns, then the full path. As on Windows, a hidden or system file keeps its
// other attributes unless its H or S is changed as well ("No se restablece el archivo oculto").
// Exit code 0, or 1 when a path matched nothing or a file could not be changed.

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "tools/cmd/tool_arguments.h"
#include "tools/cmd/tool_console.h"
#include "tools/cmd/tool_main.h"
#include "tools/cmd/tool_paths.h"

namespace nx::attrib {
namespace {

struct Request {
  uint32_t set = 0, clear = 0;
  bool recurse = false, folders = false;
  std::vector<std::string> paths;
};

bool Parse(const std::string& text, Request& r) {
  for (const tools::ToolArgument& a : tools::SplitArguments(text, false)) {
    const std::string& t = a.text;
    if (!a.quoted && t.size() == 2 && (t[0] == '+' || t[0] == '-')) {
      uint32_t bit = 0;
      switch (std::toupper(static_cast<unsigned char>(t[1]))) {
        case 'R': bit = kAttrReadOnly; break;
        case 'A': bit = kAttrArchive; break;
        case 'S': bit = kAttrSystem; break;
        case 'H': bit = kAttrHidden; break;
        default: break;
      }
      if (bit == 0) {
        tools::ErrLine("Parámetro no válido - " + t);
        return false;
      }
      (t[0] == '+' ? r.set : r.clear) |= bit;
      continue;
    }
    if (a.IsSwitch()) {
      if (tools::SameSwitch(t, "/S")) r.recurse = true;
      else if (tools::SameSwitch(t, "/D")) r.folders = true;
      else {
        tools::ErrLine("Parámetro no válido - " + t);
        return false;
      }
      continue;
    }
    r.paths.push_back(t);
  }
  if (r.set & r.clear) {
    tools::ErrLine("Parámetro no válido: el mismo atributo se pone y se quita a la vez.");
    return false;
  }
  if (r.paths.empty()) r.paths.push_back("*.*");
  return true;
}

std::string Listing(uint32_t a, const std::string& path) {
  std::string column = "           ";
  if (a & kAttrArchive) column[0] = 'A';
  if (a & kAttrSystem) column[3] = 'S';
  if (a & kAttrHidden) column[4] = 'H';
  if (a & kAttrReadOnly) column[5] = 'R';
  return column + path;
}

class Walker {
 public:
  explicit Walker(const Request& r) : r_(r), files_(*CurrentPlatform().files) {}

  // Returns the number of names the pattern matched in folder (and below it with /S).
  int Visit(const std::string& folder, const std::string& pattern) {
    int matched = 0;
    std::vector<FoundFile> found = files_.FindFiles(tools::JoinPath(folder, pattern));
    std::sort(found.begin(), found.end(), [](const FoundFile& a, const FoundFile& b) {
      return FoldCase(a.name) < FoldCase(b.name);
    });
    for (const FoundFile& f : found) {
      if (f.name == "." || f.name == "..") continue;
      bool folder_ = (f.attributes & kAttrDirectory) != 0;
      if (folder_ && !r_.folders) continue;
      ++matched;
      Apply(tools::JoinPath(folder, f.name), f.attributes);
    }
    if (r_.recurse) {
      std::vector<FoundFile> all = files_.FindFiles(tools::JoinPath(folder, "*"));
      std::sort(all.begin(), all.end(), [](const FoundFile& a, const FoundFile& b) {
        return FoldCase(a.name) < FoldCase(b.name);
      });
      for (const FoundFile& f : all) {
        if (f.name == "." || f.name == ".." || !(f.attributes & kAttrDirectory)) continue;
        matched += Visit(tools::JoinPath(folder, f.name), pattern);
      }
    }
    return matched;
  }

  bool failed() const { return failed_; }

 private:
  void Apply(const std::string& path, uint32_t attributes) {
    if (r_.set == 0 && r_.clear == 0) {
      tools::OutLine(Listing(attributes, path));
      return;
    }
    uint32_t changing = r_.set | r_.clear;
    if ((attributes & kAttrHidden) && !(changing & (kAttrHidden | kAttrSystem))) {
      tools::ErrLine("No se restablece el archivo oculto - " + path);
      failed_ = true;
      return;
    }
    if ((attributes & kAttrSystem) && !(changing & (kAttrHidden | kAttrSystem))) {
      tools::ErrLine("No se restablece el archivo de sistema - " + path);
      failed_ = true;
      return;
    }
    uint32_t bits = (attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive));
    bits = (bits | r_.set) & ~r_.clear;
    try {
      files_.SetAttributes(path, bits != 0 ? bits : kAttrNormal);
    } catch (const OsError& e) {
      tools::ErrLine(SystemMessage(e.code()) + " - " + path);
      failed_ = true;
    }
  }

  const Request& r_;
  FileSystem& files_;
  bool failed_ = false;
};

int Run(const std::string& text) {
  Request r;
  if (!Parse(text, r)) return 1;
  FileSystem& files = *CurrentPlatform().files;
  Walker walker(r);
  bool missing = false;
  for (const std::string& typed : r.paths) {
    std::string path;
    try {
      path = tools::AbsolutePath(typed);
    } catch (const OsError& e) {
      tools::ErrLine(SystemMessage(e.code()) + " - " + typed);
      missing = true;
      continue;
    }
    std::string folder = tools::ParentFolder(path), pattern = tools::LastComponent(path);
    // A folder named by itself (no wildcard) is listed or changed itself.
    if (!tools::HasWildcards(pattern) && files.DirectoryExists(path) && !tools::IsDriveRoot(path)) {
      Request single = r;
      single.folders = true;
      single.recurse = false;
      Walker one(single);
      if (one.Visit(folder, pattern) == 0) missing = true;
      missing = missing || one.failed();
      continue;
    }
    if (tools::IsDriveRoot(path)) {
      folder = path;
      pattern = "*.*";
    }
    if (!files.DirectoryExists(folder) || walker.Visit(folder, pattern) == 0) {
      tools::ErrLine("No se encuentra el archivo - " + path);
      missing = true;
    }
  }
  return missing || walker.failed() ? 1 : 0;
}

}  // namespace
}  // namespace nx::attrib

int main() {
  nx::ExitProgram(nx::tools::RunTool(
      [] { return nx::attrib::Run(nx::tools::ArgumentsText(nx::ProgramCommandLine())); }, 1));
}
