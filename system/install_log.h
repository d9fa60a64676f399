#pragma once
// The file side of the installation log "Install.log": one time-stamped line per step, appended
// to the file in the installation folder, which only ever grows. The window shows the same line
// in its status line.

#include <string>

#include "platform/clock.h"
#include "system/errors.h"

namespace nx {

// The machine's short date, one blank and its long time ("10/12/2026 9:05:03"); the date alone
// when the time is exactly 00:00:00.000. Formats come from the current platform's Clock.
std::string LogTimestamp(const LocalTime& t);

// Appends "stamp : linea" and CR LF to pathText + "Install.log" (plain joining: a folder text
// without its final backslash gives "C:\NorvexaInstall.log"), creating the file when missing and
// opening and closing it for this one line. The stamp is the platform clock's current time. The
// line is written in the system code page; a character the code page cannot hold is written as
// '?' in the file only. Returns the line as built (UTF-8, no line end) for the status line.
// Throws EInOutError with the Windows error code when the file cannot be created or written;
// nothing is written then.
std::string AppendInstallLog(const std::string& pathText, const std::string& linea);

}  // namespace nx
