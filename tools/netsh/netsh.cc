// netsh for the hosted machine: the firewall's port openings, kept where Windows keeps them
// (HKLM\SYSTEM\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy, then
// <profile>\GloballyOpenPorts\List; value "PORT:PROTO", data "PORT:PROTO:SCOPE:MODE:NAME" with
// SCOPE "*", "LocalSubNet" or the address list, MODE "Enabled" or "Disabled").
//
//   netsh firewall add|set portopening [protocol=]TCP|UDP|ALL [port=]1-65535 [name=]NAME
//         [[mode=]ENABLE|DISABLE [[scope=]ALL|SUBNET|CUSTOM [[addresses=]LIST]]]
//         [profile=CURRENT|DOMAIN|STANDARD|ALL]
//   netsh firewall delete portopening [protocol=]TCP|UDP|ALL [port=]1-65535 [profile=...]
//   netsh firewall show portopening
//
// Words are positional in that order or tagged (tag=value, any order after the positional ones);
// keywords without regard to case. The current profile is the standard one (the machine is in no
// domain). set and add both create or replace the opening. Success prints "Aceptar." and gives
// 0; anything else prints what is wrong and the command's usage and gives 1.

#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tools/cmd/tool_arguments.h"
#include "tools/cmd/tool_console.h"
#include "tools/cmd/tool_main.h"

namespace nx::netsh {
namespace {

constexpr const char* kPolicyKey =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy";

const char* const kAddUsage =
    "Uso: set portopening [ protocol = ] TCP|UDP|ALL\r\n"
    "      [ port = ] 1-65535\r\n"
    "      [ name = ] nombre\r\n"
    "      [ [ mode = ] ENABLE|DISABLE\r\n"
    "        [ scope = ] ALL|SUBNET|CUSTOM\r\n"
    "        [ addresses = ] direcciones\r\n"
    "        [ profile = ] CURRENT|DOMAIN|STANDARD|ALL ]\r\n"
    "\r\n"
    "Ejemplo: set portopening TCP 80 \"Servidor web\" ENABLE SUBNET";
const char* const kDeleteUsage =
    "Uso: delete portopening [ protocol = ] TCP|UDP|ALL\r\n"
    "      [ port = ] 1-65535\r\n"
    "      [ profile = ] CURRENT|DOMAIN|STANDARD|ALL";
const char* const kFirewallUsage =
    "Comandos disponibles en este contexto:\r\n"
    "add portopening    - Agrega una configuración de puerto del firewall.\r\n"
    "delete portopening - Elimina una configuración de puerto del firewall.\r\n"
    "set portopening    - Establece una configuración de puerto del firewall.\r\n"
    "show portopening   - Muestra la configuración de puerto del firewall.";

struct UsageError {
  std::string message;
  const char* usage;
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Positional and tagged words matched to the parameter names, in order.
std::map<std::string, std::string> BindParameters(const std::vector<tools::ToolArgument>& words,
                                                  const std::vector<std::string>& names,
                                                  const char* usage) {
  std::map<std::string, std::string> values;
  size_t nextPositional = 0;
  bool taggedSeen = false;
  for (const tools::ToolArgument& w : words) {
    size_t eq = w.text.find('=');
    std::string tag = eq == std::string::npos ? "" : tools::Lower(w.text.substr(0, eq));
    bool tagged = false;
    for (const std::string& n : names) tagged = tagged || (eq != std::string::npos && tag == n);
    if (tagged) {
      if (values.count(tag)) throw UsageError{"El parámetro " + tag + " aparece dos veces.", usage};
      values[tag] = w.text.substr(eq + 1);
      taggedSeen = true;
      continue;
    }
    if (taggedSeen) throw UsageError{"Parámetro no válido: " + w.text, usage};
    while (nextPositional < names.size() && values.count(names[nextPositional])) ++nextPositional;
    if (nextPositional >= names.size()) throw UsageError{"Sobra el parámetro: " + w.text, usage};
    values[names[nextPositional++]] = w.text;
  }
  return values;
}

std::string Choice(const std::map<std::string, std::string>& v, const std::string& name,
                   const std::vector<std::string>& allowed, const std::string& fallback,
                   const char* usage) {
  auto it = v.find(name);
  if (it == v.end()) {
    if (fallback.empty()) throw UsageError{"Falta el parámetro " + name + ".", usage};
    return fallback;
  }
  std::string value = Upper(it->second);
  for (const std::string& a : allowed)
    if (value == a) return value;
  throw UsageError{"Valor no válido para " + name + ": " + it->second, usage};
}

std::string Port(const std::map<std::string, std::string>& v, const char* usage) {
  auto it = v.find("port");
  if (it == v.end()) throw UsageError{"Falta el parámetro port.", usage};
  const std::string& text = it->second;
  bool digits = !text.empty() && text.size() <= 5;
  for (char c : text) digits = digits && std::isdigit(static_cast<unsigned char>(c));
  long n = digits ? std::stol(text) : 0;
  if (n < 1 || n > 65535) throw UsageError{"Valor no válido para port: " + text, usage};
  return std::to_string(n);
}

std::vector<std::string> Profiles(const std::string& profile) {
  if (profile == "DOMAIN") return {"DomainProfile"};
  if (profile == "ALL") return {"DomainProfile", "StandardProfile"};
  return {"StandardProfile"};  // CURRENT and STANDARD: the machine is in no domain
}

std::vector<std::string> Protocols(const std::string& protocol) {
  if (protocol == "ALL") return {"TCP", "UDP"};
  return {protocol};
}

std::string ListKey(const std::string& profile) {
  return std::string(kPolicyKey) + "\\" + profile + "\\GloballyOpenPorts\\List";
}

int AddOrSet(const std::vector<tools::ToolArgument>& words) {
  auto v = BindParameters(words, {"protocol", "port", "name", "mode", "scope", "addresses",
                                  "profile", "interface"},
                          kAddUsage);
  std::string protocol = Choice(v, "protocol", {"TCP", "UDP", "ALL"}, "", kAddUsage);
  std::string port = Port(v, kAddUsage);
  if (!v.count("name") || v["name"].empty()) throw UsageError{"Falta el parámetro name.", kAddUsage};
  std::string name = v["name"];
  std::string mode = Choice(v, "mode", {"ENABLE", "DISABLE"}, "ENABLE", kAddUsage);
  std::string scope = Choice(v, "scope", {"ALL", "SUBNET", "CUSTOM"}, "ALL", kAddUsage);
  std::string profile = Choice(v, "profile", {"CURRENT", "DOMAIN", "STANDARD", "ALL"}, "CURRENT", kAddUsage);
  if (v.count("interface"))
    throw UsageError{"Las configuraciones por interfaz no están disponibles en esta máquina.", kAddUsage};
  std::string scopeText = scope == "ALL" ? "*" : scope == "SUBNET" ? "LocalSubNet" : "";
  if (scope == "CUSTOM") {
    if (!v.count("addresses") || v["addresses"].empty())
      throw UsageError{"El ámbito CUSTOM necesita el parámetro addresses.", kAddUsage};
    scopeText = v["addresses"];
    if (scopeText.find(':') != std::string::npos)
      throw UsageError{"Valor no válido para addresses: " + scopeText, kAddUsage};
  } else if (v.count("addresses")) {
    throw UsageError{"El parámetro addresses solo vale con el ámbito CUSTOM.", kAddUsage};
  }
  Registry& registry = *CurrentPlatform().registry;
  for (const std::string& p : Profiles(profile)) {
    auto key = registry.OpenKey(RegRoot::kLocalMachine, ListKey(p), RegAccess::kWrite, true);
    for (const std::string& proto : Protocols(protocol)) {
      key->SetValue(port + ":" + proto,
                    RegValue::String(port + ":" + proto + ":" + scopeText + ":" +
                                     (mode == "ENABLE" ? "Enabled" : "Disabled") + ":" + name));
    }
  }
  tools::OutLine("Aceptar.");
  tools::OutLine("");
  return 0;
}

int Delete(const std::vector<tools::ToolArgument>& words) {
  auto v = BindParameters(words, {"protocol", "port", "profile", "interface"}, kDeleteUsage);
  std::string protocol = Choice(v, "protocol", {"TCP", "UDP", "ALL"}, "", kDeleteUsage);
  std::string port = Port(v, kDeleteUsage);
  std::string profile = Choice(v, "profile", {"CURRENT", "DOMAIN", "STANDARD", "ALL"}, "CURRENT", kDeleteUsage);
  if (v.count("interface"))
    throw UsageError{"Las configuraciones por interfaz no están disponibles en esta máquina.", kDeleteUsage};
  Registry& registry = *CurrentPlatform().registry;
  bool removed = false;
  for (const std::string& p : Profiles(profile)) {
    std::unique_ptr<RegistryKey> key;
    try {
      key = registry.OpenKey(RegRoot::kLocalMachine, ListKey(p), RegAccess::kWrite, false);
    } catch (const OsError& e) {
      if (e.code() != kErrorFileNotFound) throw;
      continue;
    }
    for (const std::string& proto : Protocols(protocol)) {
      if (key->QueryValue(port + ":" + proto)) {
        key->DeleteValue(port + ":" + proto);
        removed = true;
      }
    }
  }
  if (!removed) {
    tools::ErrLine("No se encontró la configuración de puerto especificada.");
    return 1;
  }
  tools::OutLine("Aceptar.");
  tools::OutLine("");
  return 0;
}

int Show(const std::vector<tools::ToolArgument>& words) {
  for (const tools::ToolArgument& w : words) {
    std::string t = tools::Lower(w.text);
    if (t != "verbose=enable" && t != "verbose=disable" && t != "enable" && t != "disable")
      throw UsageError{"Parámetro no válido: " + w.text, "Uso: show portopening [ verbose = ] ENABLE|DISABLE"};
  }
  Registry& registry = *CurrentPlatform().registry;
  for (const char* profile : {"DomainProfile", "StandardProfile"}) {
    std::unique_ptr<RegistryKey> key;
    try {
      key = registry.OpenKey(RegRoot::kLocalMachine, ListKey(profile), RegAccess::kRead, false);
    } catch (const OsError& e) {
      if (e.code() != kErrorFileNotFound) throw;
      if (std::string(profile) == "DomainProfile") continue;
    }
    tools::OutLine("");
    tools::OutLine(std::string("Configuración de puerto para el perfil ") +
                   (std::string(profile) == "DomainProfile" ? "Dominio" : "Estándar") + ":");
    tools::OutLine("Puerto Protocolo Modo          Nombre");
    tools::OutLine("-------------------------------------------------------------------");
    if (!key) continue;
    for (const std::string& valueName : key->ValueNames()) {
      std::optional<RegValue> value = key->QueryValue(valueName);
      if (!value) continue;
      // PORT:PROTO:SCOPE:MODE:NAME; the name may itself hold colons.
      std::vector<std::string> f;
      size_t start = 0;
      for (int k = 0; k < 4; ++k) {
        size_t colon = value->data.find(':', start);
        if (colon == std::string::npos) break;
        f.push_back(value->data.substr(start, colon - start));
        start = colon + 1;
      }
      if (f.size() != 4) continue;
      std::string name = value->data.substr(start);
      std::string mode = f[3] == "Enabled" ? "Habilitar" : "Deshabilitar";
      auto pad = [](std::string s, size_t n) {
        while (s.size() < n) s += ' ';
        return s + " ";
      };
      tools::OutLine(pad(f[0], 6) + pad(f[1], 9) + pad(mode, 14) + name);
    }
  }
  tools::OutLine("");
  return 0;
}

int Run(const std::string& argumentsText) {
  std::vector<tools::ToolArgument> words = tools::SplitArguments(argumentsText, false);
  try {
    if (words.empty() || tools::Lower(words[0].text) != "firewall") {
      std::string what = words.empty() ? "" : words[0].text;
      tools::ErrLine("No se encontró el siguiente comando: " + what);
      tools::ErrLine("Esta máquina solo tiene el contexto firewall (portopening).");
      return 1;
    }
    if (words.size() < 3 || tools::Lower(words[2].text) != "portopening") {
      std::string what;
      for (size_t k = 0; k < words.size(); ++k) what += (k ? " " : "") + words[k].text;
      tools::ErrLine("No se encontró el siguiente comando: " + what);
      tools::ErrLine(kFirewallUsage);
      return 1;
    }
    std::string verb = tools::Lower(words[1].text);
    std::vector<tools::ToolArgument> rest(words.begin() + 3, words.end());
    if (verb == "set" || verb == "add") return AddOrSet(rest);
    if (verb == "delete") return Delete(rest);
    if (verb == "show") return Show(rest);
    tools::ErrLine("No se encontró el siguiente comando: firewall " + words[1].text + " portopening");
    tools::ErrLine(kFirewallUsage);
    return 1;
  } catch (const UsageError& e) {
    tools::ErrLine(e.message);
    tools::ErrLine("");
    tools::ErrLine(e.usage);
    return 1;
  }
}

}  // namespace
}  // namespace nx::netsh

int main() {
  nx::ExitProgram(nx::tools::RunTool(
      [] { return nx::netsh::Run(nx::tools::ArgumentsText(nx::ProgramCommandLine())); }, 1));
}
