#pragma once
// Pictures of the real window at the stages of an installation run by nxdrive --screenshots:
// the operator's choices (just before "Instalar" is clicked), the installation under way (the
// first log line past half of the progress bar), and the message that ends it (the window with the
// message box over it).

#include <cstdio>
#include <string>

namespace nx {
class FInstallWindow;
class TFInstalacion;
}  // namespace nx

namespace nx::drive {

class StageCamera {
 public:
  // Pictures go to prefix + "-1-choices.png", "-2-installing.png", "-3-final-message.png"; each
  // saved (or failed) picture is reported on diagnostics.
  StageCamera(FInstallWindow& window, TFInstalacion& form, std::string prefix, FILE* diagnostics);

  void BeforeInstall();
  void AfterLog();
  void OnMessage(const std::string& text);

 private:
  void Save(const std::string& stage, bool withMessage, const std::string& text = "");

  FInstallWindow& window_;
  TFInstalacion& form_;
  std::string prefix_;
  FILE* diagnostics_;
  bool installing_ = false;
  bool tookInstalling_ = false;
};

}  // namespace nx::drive
