#pragma once
// Listing the files of one folder that match a mask.

#include <string>
#include <vector>

namespace nx {

// The files in folder (a backslash is added when it lacks one) matching mask ("*.fdb"), in the
// order the file system's search gives them: bare names, or folder + name with fullPath. Folders
// and system files are never listed, hidden files only with includeHidden. A missing folder or no
// match gives an empty list; any other failure of the search (access denied...) throws OsError,
// so that an unreadable folder is not taken for an empty one.
std::vector<std::string> ListaFicheros(const std::string& folder, const std::string& mask,
                                       bool fullPath, bool includeHidden);

}  // namespace nx
