// The operator's real dialogs, answered from a timer as a person would answer them.

#include "app/qt/qt_operator.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "app/qt/windows_path.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "qt_operator_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

struct Seen {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QList<QMessageBox::StandardButton> buttons;
};

// Looks at the box that opens next and acts on it.
void WhenTheBoxOpens(Seen& seen, std::function<void(QMessageBox&)> act) {
  QTimer::singleShot(0, [&seen, act] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons.clear();
    for (QAbstractButton* b : box->buttons()) seen.buttons << box->standardButton(b);
    act(*box);
  });
}

TEST(QtOperatorTest, PlainMessagesCarryTheApplicationTitleAndBreakLinesAtCarriageReturns) {
  App();
  QtOperator operador;
  Seen seen;
  WhenTheBoxOpens(seen, [](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
  operador.ShowMessage("Instalación Terminada.\rPara la instalación\r\n use");
  EXPECT_EQ(seen.title, QString("Norvexa Setup."));
  EXPECT_EQ(seen.text, QString("Instalación Terminada.\nPara la instalación\n use"));
  EXPECT_EQ(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
}

TEST(QtOperatorTest, QuestionsShowTheirCaptionAndIconAndGiveTheAnswer) {
  App();
  QtOperator operador;
  Seen seen;
  WhenTheBoxOpens(seen, [](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
  EXPECT_EQ(operador.AskYesNo("Servidor de datos ya instalado. \r ¿Desea reinstalar?",
                              "¿Actualizar servidor de base de datos Firebird?."),
            Answer::kNo);
  EXPECT_EQ(seen.title, QString("¿Actualizar servidor de base de datos Firebird?."));
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.buttons.size(), 2);

  WhenTheBoxOpens(seen, [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
  EXPECT_EQ(operador.AskYesNoCancel("x", "¿!! BORRAR DATOS ANTERIORES !!?"), Answer::kYes);
  EXPECT_EQ(seen.buttons.size(), 3);
}

TEST(QtOperatorTest, EscapeOnAYesNoCancelBoxAnswersCancel) {
  App();
  QtOperator operador;
  Seen seen;
  WhenTheBoxOpens(seen, [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  EXPECT_EQ(operador.AskYesNoCancel("x", "y"), Answer::kCancel);
}

}  // namespace
}  // namespace nx

namespace nx {
namespace {

// The folder browser answers as the system's does: "D:\Apps", a root as "D:\", nothing for a
// folder on no drive.
TEST(WindowsFolderTest, BrowsedFoldersComeBackInTheSystemsShape) {
  ScratchMachine machine;
  const std::string medium = machine.root() + "/medio";
  machine.MapDrive('D', medium);
  std::filesystem::create_directories(medium + "/Apps/Tienda");
  EXPECT_EQ(WindowsFolderOf(medium), "D:\\");
  EXPECT_EQ(WindowsFolderOf(medium + "/"), "D:\\");
  EXPECT_EQ(WindowsFolderOf(medium + "/Apps/Tienda"), "D:\\Apps\\Tienda");
  EXPECT_EQ(WindowsFolderOf(machine.root() + "-elsewhere"), std::nullopt);
  EXPECT_EQ(ToolkitFolderOf("D:\\Apps"), medium + "/Apps");
}

}  // namespace
}  // namespace nx
