#pragma once
// The operator met through the toolkit's modal dialogs.

#include "app/operator.h"

class QWidget;

namespace nx {

class QtOperator final : public Operator {
 public:
  // Dialogs are modal to parent (may be null, and may be set later).
  explicit QtOperator(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text) override;
  Answer AskYesNo(const std::string& text, const std::string& caption) override;
  Answer AskYesNoCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> BrowseForFolder(const std::string& title) override;

 private:
  QWidget* parent_;
};

// Message texts break lines with "\r"; the toolkit's labels break on "\n".
std::string ToDisplayLines(const std::string& text);

}  // namespace nx
