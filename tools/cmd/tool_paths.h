#pragma once
// Windows paths as typed on a command line: relative or absolute, with doubled or forward
// slashes, "." and ".." parts. The tools work on the absolute, normal form.

#include <string>

namespace nx::tools {

bool HasWildcards(const std::string& text);
// Ends in '\' or '/': the name stands for a folder.
bool EndsWithSeparator(const std::string& typed);

// "C:\a\\b\.\c\..\d\" -> "C:\a\b\d"; a drive root keeps its backslash ("C:\"). Input must be
// absolute (drive letter, colon, backslash).
std::string NormalizePath(const std::string& absolutePath);

// The process's working folder as a Windows path; OsError(kErrorPathNotFound) when it lies on
// no drive of the machine.
std::string CurrentFolder();

// The typed path made absolute against the current folder (or, for "\x", its drive) and
// normalised. OsError(kErrorPathNotFound) for a form the machine has no place for (UNC names,
// a relative path while the working folder is on no drive), kErrorInvalidName for an empty one.
std::string AbsolutePath(const std::string& typed);

// Of a normal absolute path: "C:\a\b" -> "C:\a", "C:\a" -> "C:\", "C:\" -> "C:\".
std::string ParentFolder(const std::string& path);
// "C:\a\b" -> "b"; a drive root gives "".
std::string LastComponent(const std::string& path);
// Joins without doubling the backslash after a drive root.
std::string JoinPath(const std::string& folder, const std::string& name);
bool IsDriveRoot(const std::string& path);
// Same file or folder name, letter case aside.
bool SamePath(const std::string& a, const std::string& b);

}  // namespace nx::tools
