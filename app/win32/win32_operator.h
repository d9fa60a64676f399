#pragma once
// The operator through the system's own dialogs: MessageBoxW for messages and questions,
// SHBrowseForFolderW for the folder browser, each modal to the window.

#include <windows.h>

#include "app/operator.h"

namespace nx {

class Win32Operator : public Operator {
 public:
  // The window the dialogs belong to; null for none.
  void SetOwner(HWND owner) { owner_ = owner; }

  void ShowMessage(const std::string& text) override;
  Answer AskYesNo(const std::string& text, const std::string& caption) override;
  Answer AskYesNoCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> BrowseForFolder(const std::string& title) override;

 private:
  HWND owner_ = nullptr;
};

}  // namespace nx
