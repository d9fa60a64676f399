#include "app/qt/qt_operator.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/application.h"
#include "app/qt/windows_path.h"

namespace nx {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QMessageBox::StandardButton Ask(QWidget* parent, const std::string& text,
                                const std::string& caption, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton escape) {
  QMessageBox box(QMessageBox::Question, Q(caption), Q(ToDisplayLines(text)), buttons, parent);
  if (escape != QMessageBox::NoButton) box.setEscapeButton(escape);
  box.setDefaultButton(QMessageBox::Yes);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

std::string ToDisplayLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

void QtOperator::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, Q(ToDisplayLines(text)),
                  QMessageBox::Ok, parent_);
  box.exec();
}

Answer QtOperator::AskYesNo(const std::string& text, const std::string& caption) {
  // A Yes/No box cannot be closed without answering.
  return Ask(parent_, text, caption, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton) ==
                 QMessageBox::Yes
             ? Answer::kYes
             : Answer::kNo;
}

Answer QtOperator::AskYesNoCancel(const std::string& text, const std::string& caption) {
  switch (Ask(parent_, text, caption, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
              QMessageBox::Cancel)) {
    case QMessageBox::Yes: return Answer::kYes;
    case QMessageBox::No: return Answer::kNo;
    default: return Answer::kCancel;
  }
}

std::optional<std::string> QtOperator::BrowseForFolder(const std::string& title) {
  QString start = Q(ToolkitFolderOf("C:\\"));
  for (;;) {
    const QString chosen = QFileDialog::getExistingDirectory(
        parent_, Q(title), start, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty()) return std::nullopt;
    if (auto folder = WindowsFolderOf(chosen.toStdString())) return folder;
    // As the system's browser does, only folders of this machine can be chosen.
    QMessageBox::warning(parent_, kApplicationTitle,
                         "La carpeta elegida no está en ninguna unidad de este equipo.\n"
                         "Elija una carpeta de una de sus unidades.");
    start = chosen;
  }
}

}  // namespace nx
