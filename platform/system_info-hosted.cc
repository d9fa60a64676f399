#include <cctype>

#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/hosted_parts.h"
#include "platform/profile_parser.h"
#include "platform/text.h"

namespace nx {

namespace {

constexpr const char* kSettingsSection = "Settings";

struct SettingRule {
  const char* name;
  const char* fallback;
  bool (*accepts)(const std::string& value);
};

// "MAJOR.MINOR", each a number of one to three digits, or "none".
bool IsVersion(const std::string& value) {
  if (value == "none") return true;
  const size_t dot = value.find('.');
  if (dot == std::string::npos) return false;
  auto number = [](const std::string& s) {
    if (s.empty() || s.size() > 3) return false;
    for (char c : s)
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
  };
  return number(value.substr(0, dot)) && number(value.substr(dot + 1));
}

bool IsYesNo(const std::string& value) { return value == "yes" || value == "no"; }

const SettingRule kRules[] = {
    {"winver", "6.1", IsVersion},
    {"admin", "yes", IsYesNo},
};

const SettingRule& Rule(const std::string& name) {
  for (const SettingRule& rule : kRules)
    if (EqualsIgnoreCase(rule.name, name)) return rule;
  throw OsError(kErrorInvalidParameter, "\"" + name + "\" no es un ajuste de la máquina (winver, admin)");
}

std::string RecordFile(const HostedMachine& machine) { return machine.root() + "/" + kMachineRecordFile; }

std::string ValueIn(const std::string& record, const SettingRule& rule) {
  std::optional<std::string> value = FindProfileValue(record, kSettingsSection, rule.name);
  // A hand-edited record with a value the setting does not take reads as the default.
  if (!value || !rule.accepts(*value)) return rule.fallback;
  return *value;
}

// The build number Windows reports with a version, for the ones it knows.
uint32_t BuildOf(uint32_t major, uint32_t minor) {
  if (major == 6 && minor == 1) return 7601;
  if (major == 6 && minor == 0) return 6002;
  if (major == 5 && minor == 1) return 2600;
  if (major == 5 && minor == 0) return 2195;
  if (major == 4 && minor == 0) return 1381;
  return 0;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> HostedMachine::Settings() const {
  const std::string record = host::ReadAll(RecordFile(*this), RecordFile(*this));
  std::vector<std::pair<std::string, std::string>> settings;
  for (const SettingRule& rule : kRules) settings.emplace_back(rule.name, ValueIn(record, rule));
  return settings;
}

std::string HostedMachine::Setting(const std::string& name) const {
  const SettingRule& rule = Rule(name);
  return ValueIn(host::ReadAll(RecordFile(*this), RecordFile(*this)), rule);
}

void HostedMachine::SetSetting(const std::string& name, const std::string& value) {
  const SettingRule& rule = Rule(name);
  if (!rule.accepts(value)) {
    throw OsError(kErrorInvalidParameter, "\"" + value + "\" no es un valor de " + rule.name +
                                              (rule.accepts == IsYesNo ? " (yes, no)" : " (6.1, 5.1, 4.0..., none)"));
  }
  const std::string file = RecordFile(*this);
  host::FileLock lock(root() + "/" + kMachineLockFile);
  const std::string record = host::ReadAll(file, file);
  // The record is rewritten with its [Settings] section last, holding every setting.
  std::string kept;
  bool inSettings = false;
  for (const std::string& raw : host::Lines(record)) {
    std::string line = raw;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '[') {
      const size_t close = line.find(']', first);
      const std::string section = line.substr(first + 1, close == std::string::npos ? std::string::npos : close - first - 1);
      inSettings = EqualsIgnoreCase(section, kSettingsSection);
    }
    if (!inSettings) kept += line + "\n";
  }
  std::string text = kept + "[" + kSettingsSection + "]\n";
  for (const SettingRule& r : kRules) text += std::string(r.name) + "=" + (&r == &rule ? value : ValueIn(record, r)) + "\n";
  host::WriteAtomically(file, text, file);
}

std::optional<WindowsVersion> HostedSystemInfo::Version() {
  const std::string value = machine_.Setting("winver");
  if (value == "none") return std::nullopt;
  const size_t dot = value.find('.');
  WindowsVersion version;
  version.major = static_cast<uint32_t>(std::stoul(value.substr(0, dot)));
  version.minor = static_cast<uint32_t>(std::stoul(value.substr(dot + 1)));
  version.build = BuildOf(version.major, version.minor);
  return version;
}

bool HostedSystemInfo::IsAdministrator() {
  try {
    return machine_.Setting("admin") == "yes";
  } catch (const OsError&) {
    return false;  // a token that cannot be read counts as no administrator
  }
}

}  // namespace nx
