#include "tools/nxdrive/script.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"

namespace nx::drive {

namespace {

bool Same(const std::string& a, const std::string& b) { return EqualsIgnoreCase(a, b); }

[[noreturn]] void Refuse(int line, const std::string& text, const std::string& why) {
  throw ScriptError("line " + std::to_string(line) + ": " + why + ": \"" + text + "\"");
}

// The first word and the rest after one separating blank (the rest kept as written).
std::pair<std::string, std::string> Split(const std::string& text) {
  const size_t blank = text.find(' ');
  if (blank == std::string::npos) return {text, ""};
  return {text.substr(0, blank), text.substr(blank + 1)};
}

std::string Trimmed(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool OnOff(int line, const std::string& text, const std::string& word) {
  if (Same(word, "on")) return true;
  if (Same(word, "off")) return false;
  Refuse(line, text, "expected on or off");
}

// "Ctrl+Alt+L": modifiers, then one letter or digit.
uint16_t ShortCut(int line, const std::string& text, const std::string& keys) {
  uint16_t value = 0;
  size_t pos = 0;
  for (;;) {
    const size_t plus = keys.find('+', pos);
    const std::string part = keys.substr(pos, plus == std::string::npos ? std::string::npos : plus - pos);
    if (plus == std::string::npos) {
      if (part.size() != 1 || !std::isalnum(static_cast<unsigned char>(part[0])))
        Refuse(line, text, "expected modifiers and one letter or digit, as Ctrl+Alt+L");
      return static_cast<uint16_t>(value | static_cast<uint16_t>(std::toupper(static_cast<unsigned char>(part[0]))));
    }
    if (Same(part, "Ctrl")) {
      value |= 0x4000;
    } else if (Same(part, "Alt")) {
      value |= 0x8000;
    } else if (Same(part, "Shift")) {
      value |= 0x2000;
    } else {
      Refuse(line, text, "unknown modifier \"" + part + "\" (Ctrl, Alt, Shift)");
    }
    pos = plus + 1;
  }
}

Action ParseLine(int line, const std::string& text) {
  Action a{};
  a.line = line;
  a.text = text;
  const auto [word, rest] = Split(text);
  const std::string args = Trimmed(rest);
  const auto [first, second] = Split(args);
  if (Same(word, "activate") || Same(word, "show")) {
    if (!args.empty()) Refuse(line, text, word + " takes nothing more");
    a.kind = Same(word, "show") ? Action::Kind::kShow : Action::Kind::kActivate;
  } else if (Same(word, "tick")) {
    a.kind = Action::Kind::kTick;
    if (!Same(first, "server") && !Same(first, "workstation")) Refuse(line, text, "expected server or workstation");
    a.target = Same(first, "server") ? "server" : "workstation";
    a.on = OnOff(line, text, Trimmed(second));
  } else if (Same(word, "check")) {
    a.kind = Action::Kind::kCheck;
    for (const char* name : {"Escritorio", "CheckInicio", "CkMuestra"})
      if (Same(first, name)) a.target = name;
    if (a.target.empty()) Refuse(line, text, "expected Escritorio, CheckInicio or CkMuestra");
    a.on = OnOff(line, text, Trimmed(second));
  } else if (Same(word, "type")) {
    a.kind = Action::Kind::kType;
    // The text is the rest of the line, blanks included.
    const auto [name, value] = Split(rest);
    for (const char* control : {"Path", "Host", "LPuerto"})
      if (Same(name, control)) a.target = control;
    if (a.target.empty()) Refuse(line, text, "expected Path, Host or LPuerto");
    a.value = value;
  } else if (Same(word, "click")) {
    a.kind = Action::Kind::kClick;
    for (const char* name : {"Instalar", "Cancelar", "CambiaCarpeta", "BSoporte"})
      if (Same(args, name)) a.target = name;
    if (a.target.empty()) Refuse(line, text, "expected Instalar, Cancelar, CambiaCarpeta or BSoporte");
  } else if (Same(word, "keys")) {
    a.kind = Action::Kind::kKeys;
    a.target = args;
    a.shortCut = ShortCut(line, text, args);
  } else if (Same(word, "select")) {
    a.kind = Action::Kind::kSelect;
    if (!Same(first, "CSoporte")) Refuse(line, text, "expected CSoporte");
    a.target = "CSoporte";
    const std::string n = Trimmed(second);
    const bool number = !n.empty() && n.size() <= 6 &&
                        std::all_of(n.begin() + (n[0] == '-' ? 1 : 0), n.end(),
                                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) &&
                        n != "-";
    if (!number) Refuse(line, text, "expected an item index (-1 for none)");
    a.index = std::stoi(n);
  } else if (Same(word, "answer")) {
    a.kind = Action::Kind::kAnswer;
    if (Same(args, "Si") || Same(args, "Sí")) {
      a.answer = 0;
    } else if (Same(args, "No")) {
      a.answer = 1;
    } else if (Same(args, "Cancelar")) {
      a.answer = 2;
    } else {
      Refuse(line, text, "expected Si, No or Cancelar");
    }
  } else if (Same(word, "folder")) {
    a.kind = Action::Kind::kFolder;
    if (Same(args, "cancel")) {
      a.cancel = true;
    } else if (args.empty()) {
      Refuse(line, text, "expected a folder or cancel");
    } else {
      a.value = args;
    }
  } else {
    Refuse(line, text, "unknown action \"" + word + "\"");
  }
  return a;
}

}  // namespace

std::vector<Action> ParseScript(const std::string& text) {
  std::vector<Action> actions;
  size_t pos = 0;
  int line = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string current = text.substr(pos, end - pos);
    pos = end + 1;
    ++line;
    if (!current.empty() && current.back() == '\r') current.pop_back();
    const std::string trimmed = Trimmed(current);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    // Leading blanks are layout; the rest of the line is the action as written.
    actions.push_back(ParseLine(line, current.substr(current.find_first_not_of(" \t"))));
  }
  return actions;
}

}  // namespace nx::drive
