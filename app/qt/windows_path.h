#pragma once
// Between the folders the toolkit's dialogs speak of and the machine's Windows paths.

#include <optional>
#include <string>

namespace nx {

// The Windows path of a folder the toolkit names ("D:\Apps", a drive's root as "C:\");
// std::nullopt for a folder on no drive of the machine.
std::optional<std::string> WindowsFolderOf(const std::string& toolkitPath);

// Where the toolkit finds a Windows folder; empty when it cannot.
std::string ToolkitFolderOf(const std::string& windowsPath);

}  // namespace nx
