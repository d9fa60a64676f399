#pragma once
// An operator for tests: records every message and question the window puts, and answers from a
// script queued beforehand. A question the script does not expect fails the test loudly (and
// throws, so the handler goes no further); answers left over at the end fail it too.

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/operator.h"

namespace nx {

struct Interaction {
  enum class Kind { kMessage, kYesNo, kYesNoCancel, kBrowse };
  Kind kind;
  std::string caption;  // the application title for a plain message; the title for a browse
  std::string text;     // empty for a browse
  std::optional<Answer> answer;       // questions
  std::optional<std::string> folder;  // browses: the folder returned, std::nullopt for cancel
};

// Thrown when the window asks something the script has no answer for.
class UnscriptedInteraction : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class ScriptedOperator final : public Operator {
 public:
  ScriptedOperator() = default;
  ~ScriptedOperator() override;

  // The answer to the next question (kCancel only for a Yes/No/Cancel one).
  ScriptedOperator& Answers(Answer answer);
  // The next folder browse returns folder ("D:\Apps", "C:\").
  ScriptedOperator& Chooses(const std::string& folder);
  // The next folder browse is cancelled.
  ScriptedOperator& CancelsBrowse();

  const std::vector<Interaction>& interactions() const { return interactions_; }
  // The texts of the plain messages shown, in order.
  std::vector<std::string> Messages() const;
  // Script entries not used yet.
  size_t Pending() const { return script_.size(); }

  void ShowMessage(const std::string& text) override;
  Answer AskYesNo(const std::string& text, const std::string& caption) override;
  Answer AskYesNoCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> BrowseForFolder(const std::string& title) override;

 private:
  struct Step {
    bool browse;
    Answer answer;
    std::optional<std::string> folder;
  };
  Step Next(const Interaction& asked);

  std::deque<Step> script_;
  std::vector<Interaction> interactions_;
};

}  // namespace nx
