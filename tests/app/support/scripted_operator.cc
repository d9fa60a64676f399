#include "tests/app/support/scripted_operator.h"

#include <gtest/gtest.h>

#include "app/application.h"

namespace nx {

namespace {

const char* KindName(Interaction::Kind kind) {
  switch (kind) {
    case Interaction::Kind::kMessage: return "message";
    case Interaction::Kind::kYesNo: return "Yes/No question";
    case Interaction::Kind::kYesNoCancel: return "Yes/No/Cancel question";
    case Interaction::Kind::kBrowse: return "folder browse";
  }
  return "?";
}

std::string Describe(const Interaction& i) {
  return std::string(KindName(i.kind)) + " [" + i.caption + "] \"" + i.text + "\"";
}

}  // namespace

ScriptedOperator::~ScriptedOperator() {
  if (!script_.empty())
    ADD_FAILURE() << script_.size() << " scripted answer(s) never asked for; interactions seen: "
                  << interactions_.size();
}

ScriptedOperator& ScriptedOperator::Answers(Answer answer) {
  script_.push_back({false, answer, std::nullopt});
  return *this;
}

ScriptedOperator& ScriptedOperator::Chooses(const std::string& folder) {
  script_.push_back({true, Answer::kYes, folder});
  return *this;
}

ScriptedOperator& ScriptedOperator::CancelsBrowse() {
  script_.push_back({true, Answer::kCancel, std::nullopt});
  return *this;
}

std::vector<std::string> ScriptedOperator::Messages() const {
  std::vector<std::string> texts;
  for (const auto& i : interactions_)
    if (i.kind == Interaction::Kind::kMessage) texts.push_back(i.text);
  return texts;
}

ScriptedOperator::Step ScriptedOperator::Next(const Interaction& asked) {
  const bool browse = asked.kind == Interaction::Kind::kBrowse;
  std::string fault;
  if (script_.empty())
    fault = "no scripted answer for the ";
  else if (script_.front().browse != browse)
    fault = std::string("the script expected a ") + (script_.front().browse ? "folder browse" : "question") +
            ", not the ";
  else if (asked.kind == Interaction::Kind::kYesNo && script_.front().answer == Answer::kCancel)
    fault = "Cancel scripted for a box without that button: the ";
  if (!fault.empty()) {
    // The step was meant for this interaction and is used up by it: reported once, here.
    if (!script_.empty()) script_.pop_front();
    ADD_FAILURE() << fault << Describe(asked);
    throw UnscriptedInteraction(fault + Describe(asked));
  }
  Step step = script_.front();
  script_.pop_front();
  return step;
}

void ScriptedOperator::ShowMessage(const std::string& text) {
  interactions_.push_back({Interaction::Kind::kMessage, kApplicationTitle, text, std::nullopt,
                           std::nullopt});
}

Answer ScriptedOperator::AskYesNo(const std::string& text, const std::string& caption) {
  Interaction asked{Interaction::Kind::kYesNo, caption, text, std::nullopt, std::nullopt};
  const Step step = Next(asked);
  asked.answer = step.answer;
  interactions_.push_back(asked);
  return step.answer;
}

Answer ScriptedOperator::AskYesNoCancel(const std::string& text, const std::string& caption) {
  Interaction asked{Interaction::Kind::kYesNoCancel, caption, text, std::nullopt, std::nullopt};
  const Step step = Next(asked);
  asked.answer = step.answer;
  interactions_.push_back(asked);
  return step.answer;
}

std::optional<std::string> ScriptedOperator::BrowseForFolder(const std::string& title) {
  Interaction asked{Interaction::Kind::kBrowse, title, "", std::nullopt, std::nullopt};
  const Step step = Next(asked);
  asked.folder = step.folder;
  interactions_.push_back(asked);
  return step.folder;
}

}  // namespace nx
