#pragma once
// The operator's part of a run of the setup window, as nxdrive reads it: one action per line.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace nx::drive {

struct Action {
  enum class Kind { kActivate, kTick, kCheck, kType, kClick, kKeys, kSelect, kAnswer, kFolder, kShow };
  Kind kind;
  int line = 0;        // in the script, from 1
  std::string text;    // the line as written
  std::string target;  // control name (tick: "server" or "workstation")
  bool on = false;     // tick, check
  std::string value;   // type: the new text; folder: the chosen folder
  bool cancel = false;  // folder cancel
  int index = 0;        // select
  uint16_t shortCut = 0;  // keys: the stored key value (virtual key | Shift 0x2000 | Ctrl 0x4000 | Alt 0x8000)
  int answer = 0;         // answer: 0 yes, 1 no, 2 cancel
};

// A line that is no action; what() names the line and says why.
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The actions of a whole script; blank lines and lines starting with '#' are skipped.
std::vector<Action> ParseScript(const std::string& text);

}  // namespace nx::drive
