#pragma once
// The person at the machine, as the window's handlers meet them: plain messages, questions and
// the folder browser, each modal. The real one shows dialogs; tests script one.

#include <optional>
#include <string>

namespace nx {

enum class Answer { kYes, kNo, kCancel };

class Operator {
 public:
  virtual ~Operator() = default;

  // A plain message: one OK button, the application title as caption. Texts may break lines
  // with "\r".
  virtual void ShowMessage(const std::string& text) = 0;

  // A question with the question icon and a caption of its own; kYes or kNo.
  virtual Answer AskYesNo(const std::string& text, const std::string& caption) = 0;

  // The same with a Cancel button; closing the box answers kCancel.
  virtual Answer AskYesNoCancel(const std::string& text, const std::string& caption) = 0;

  // The folder browser (only file-system folders, a new folder may be made), titled title.
  // The chosen folder's Windows path as the system gives it: "D:\Apps", a drive's root as "C:\".
  // std::nullopt when the operator cancels.
  virtual std::optional<std::string> BrowseForFolder(const std::string& title) = 0;
};

}  // namespace nx
