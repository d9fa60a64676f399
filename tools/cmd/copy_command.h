#pragma once
// cmd's internal copy: COPY [/Y | /-Y] [/A | /B] source [/A | /B] [+ source [/A | /B] ...]
// [destination [/A | /B]] (/V /N /Z /L /D accepted, they change nothing here).
//
// One source goes to a file or into a folder; a wildcard source goes file by file into a folder
// (or, with a file as the destination, is joined into it, as Windows does); sources written
// "a"+"b" are joined, the first followed by the second, into the destination (into the first
// source when none is given). Hidden and system files are left out of wildcard matches.
//
// Joins are binary unless /A asks for text: Windows joins in text mode by default (each source
// ends at its first Ctrl+Z and a Ctrl+Z is added at the end), which would alter binary data and
// append a byte to a joined hosts file; here a join is byte-exact, and an explicit /A gives the
// text-mode result.
//
// Without /Y an existing target is asked about ("¿Sobrescribir ...? (Sí/No/Todos): ") except in a
// batch file, as on Windows; at the end of the input the answer is "no". Exit code 0, or 1 when
// anything failed; the count line is Windows' ("        1 archivo(s) copiado(s).").

#include <string>

namespace nx::tools {

int RunCopy(const std::string& argumentsText, bool inBatchFile);

}  // namespace nx::tools
