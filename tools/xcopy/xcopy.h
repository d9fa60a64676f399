#pragma once
// xcopy as Windows has it, for the switches an installer uses: /S /E /C /I /H /Y /-Y /R /K /Q /F
// /L (and /V /Z, which change nothing here). Messages and exit codes are those of Windows'
// Spanish xcopy:
//   0 files copied without error
//   1 no files found to copy (an existing folder or pattern with nothing to copy)
//   2 interrupted with Ctrl+C
//   4 initialisation error: bad syntax, invalid drive, source not found, cyclic copy, an
//     unanswered question, or a file that failed to copy (its read, or its target refused)
//   5 disk write error (disk full, write fault)
// With /C a failing file is reported and the copy goes on; the exit code still tells of it.
// Questions (file or folder? overwrite?) are read from standard input; at its end the answer is
// "no": an unanswered "file or folder" question copies nothing (4), an unanswered overwrite leaves
// that target and every later one as it was.
// Without /K the copies lose the read-only attribute; hidden and system travel with the file.
// An existing read-only or hidden target is refused ("Acceso denegado", as CopyFile refuses it)
// unless /R is given, which clears those attributes of the target before the copy.

#include <string>

namespace nx::tools {

// argumentsText: the command line after the program's name.
int RunXcopy(const std::string& argumentsText);

}  // namespace nx::tools
