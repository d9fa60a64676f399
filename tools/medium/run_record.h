#pragma once
// What the product's stand-in programs (updater, uninstaller, remote-control tool) leave behind:
// one block per run appended to C:\ProgramData\Norvexa\<file> of the machine (the shared data
// folder, from ALLUSERSPROFILE), a header line "[program date time]" then name=value lines.

#include <string>
#include <utility>
#include <vector>

namespace nx::medium {

using RunFields = std::vector<std::pair<std::string, std::string>>;

// The record file's Windows path: ALLUSERSPROFILE + "\Norvexa\" + file.
std::string RunRecordPath(const std::string& file);

// Appends one block; line breaks in values become blanks. Throws OsError when it cannot.
void AppendRunRecord(const std::string& file, const std::string& program, const RunFields& fields);

// The blocks of a record file's text, oldest first, as name=value lists (tests, tools).
std::vector<RunFields> ParseRunRecords(const std::string& text);
// The value of name in a block; empty when absent.
std::string RunField(const RunFields& fields, const std::string& name);

}  // namespace nx::medium
