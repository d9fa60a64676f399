#include "tools/nxdrive/screenshots.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

#include "app/FInstall.h"
#include "app/application.h"
#include "app/qt/finstall_window.h"
#include "app/qt/qt_operator.h"

namespace nx::drive {

StageCamera::StageCamera(FInstallWindow& window, TFInstalacion& form, std::string prefix,
                         FILE* diagnostics)
    : window_(window), form_(form), prefix_(std::move(prefix)), diagnostics_(diagnostics) {}

void StageCamera::BeforeInstall() {
  if (form_.Botones.Visible()) Save("1-choices", false);
  installing_ = true;
}

void StageCamera::AfterLog() {
  // Lines logged before the buttons are hidden belong to the choices, not to the installation.
  if (!installing_ || tookInstalling_ || form_.Botones.Visible()) return;
  if (form_.PBar.Max() > 0 && 2 * form_.PBar.Position() < form_.PBar.Max()) return;
  tookInstalling_ = true;
  Save("2-installing", false);
}

void StageCamera::OnMessage(const std::string& text) {
  if (installing_) Save("3-final-message", true, text);
}

void StageCamera::Save(const std::string& stage, bool withMessage, const std::string& text) {
  QCoreApplication::processEvents();
  QPixmap picture = window_.grab();
  if (withMessage) {
    // The box the operator would see, drawn where the system centres it over the window.
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, QString::fromStdString(ToDisplayLines(text)),
                    QMessageBox::Ok, &window_);
    box.show();
    QCoreApplication::processEvents();
    const QPixmap boxPicture = box.grab();
    box.hide();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
    const QPoint at((picture.width() - boxPicture.width()) / 2, (picture.height() - boxPicture.height()) / 2);
    painter.drawPixmap(at, boxPicture);
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(QRect(at, boxPicture.size()).adjusted(0, 0, -1, -1));
  }
  const std::string file = prefix_ + "-" + stage + ".png";
  if (picture.save(QString::fromStdString(file), "PNG"))
    std::fprintf(diagnostics_, "nxdrive: screenshot %s\n", file.c_str());
  else
    std::fprintf(diagnostics_, "nxdrive: cannot write the screenshot %s\n", file.c_str());
}

}  // namespace nx::drive
