#include "system/line_list.h"

#include <optional>
#include <stdexcept>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nx {
namespace {

// Beside the target, so the final step is a rename within one folder.
const char kNewSuffix[] = ".nxnew";
const char kOldSuffix[] = ".nxold";

void DeleteQuietly(FileSystem& files, const std::string& path) {
  try {
    if (files.FileExists(path)) files.DeleteFile(path);
  } catch (const OsError&) {
    // A leftover beside the file harms nothing; the save itself has succeeded or failed already.
  }
}

// A save cut off between its two renames leaves the file missing and its previous, whole
// content beside it: that content takes its place again before the file is read (and rewritten).
void ReinstateOld(FileSystem& files, const std::string& path) {
  try {
    if (!files.FileExists(path) && files.FileExists(path + kOldSuffix)) files.MoveFile(path + kOldSuffix, path);
  } catch (const OsError&) {
    // Then the file reads as missing, as it is.
  }
}

}  // namespace

LineList LineList::Load(const std::string& path, IfMissing ifMissing) {
  std::string bytes;
  try {
    ReinstateOld(*CurrentPlatform().files, path);
    bytes = CurrentPlatform().files->ReadFile(path);
  } catch (const OsError& e) {
    const bool missing = e.code() == kErrorFileNotFound || e.code() == kErrorPathNotFound;
    if (missing && ifMissing == IfMissing::kEmpty) return LineList();
    throw;
  }
  return LineList(Split(DecodeTextFile(bytes)));
}

std::vector<std::string> LineList::Split(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::string LineList::Text() const {
  std::string text;
  for (const std::string& line : lines_) text += line + "\r\n";
  return text;
}

void LineList::Save(const std::string& path) const {
  const std::string bytes = ToSystemCodePage(Text());
  FileSystem& files = *CurrentPlatform().files;

  const uint32_t attributes = files.GetAttributes(path);
  const bool exists = attributes != kInvalidFileAttributes;
  if (exists && (attributes & kAttrReadOnly)) throw OsError(kErrorAccessDenied, path);
  if (exists && (attributes & kAttrDirectory)) throw OsError(kErrorAccessDenied, path);

  const std::string fresh = path + kNewSuffix;
  const std::string old = path + kOldSuffix;
  try {
    files.WriteFile(fresh, bytes);
    // Hidden or system files stay what they were.
    if (exists && (attributes & (kAttrHidden | kAttrSystem))) {
      files.SetAttributes(fresh, attributes & (kAttrHidden | kAttrSystem | kAttrArchive));
    }
  } catch (...) {
    DeleteQuietly(files, fresh);
    throw;
  }

  if (!exists) {
    try {
      files.MoveFile(fresh, path);
    } catch (...) {
      DeleteQuietly(files, fresh);
      throw;
    }
    return;
  }

  // The old file steps aside and is removed only once the new one stands in its place; until then
  // one complete copy is always there under a known name.
  DeleteQuietly(files, old);
  try {
    files.MoveFile(path, old);
  } catch (...) {
    DeleteQuietly(files, fresh);
    throw;
  }
  try {
    files.MoveFile(fresh, path);
  } catch (...) {
    try {
      files.MoveFile(old, path);
    } catch (const OsError&) {
      // The old content is still in old; the error below tells the caller the save failed.
    }
    DeleteQuietly(files, fresh);
    throw;
  }
  DeleteQuietly(files, old);
}

std::optional<std::string> LineList::EntryName(const std::string& line) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return line.substr(0, eq);
}

std::optional<size_t> LineList::Find(const std::string& name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::optional<std::string> entry = EntryName(lines_[i]);
    if (entry && EqualsIgnoreCase(*entry, name)) return i;
  }
  return std::nullopt;
}

void LineList::Replace(const std::string& name, const std::string& line) {
  if (std::optional<size_t> i = Find(name)) Delete(*i);
  Add(line);
}

void LineList::Delete(size_t index) {
  if (index >= lines_.size()) throw std::out_of_range("LineList::Delete: no line " + std::to_string(index));
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace nx
