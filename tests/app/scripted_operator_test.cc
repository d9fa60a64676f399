// The scripted operator must fail a test that asks what it was not told to answer, or that
// leaves answers unasked: later tests of every area rely on that.

#include "tests/app/support/scripted_operator.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace nx {
namespace {

TEST(ScriptedOperatorTest, RecordsAndAnswersInTheScriptsOrder) {
  ScriptedOperator operador;
  operador.Answers(Answer::kNo).Chooses("D:\\Apps").Answers(Answer::kCancel).CancelsBrowse();
  operador.ShowMessage("Hola\r");
  EXPECT_EQ(operador.AskYesNo("¿Seguro?", "Pregunta"), Answer::kNo);
  EXPECT_EQ(operador.BrowseForFolder("Carpeta de Instalación"), "D:\\Apps");
  EXPECT_EQ(operador.AskYesNoCancel("¿Borrar?", "Otra"), Answer::kCancel);
  EXPECT_EQ(operador.BrowseForFolder("Carpeta de Instalación"), std::nullopt);
  ASSERT_EQ(operador.interactions().size(), 5u);
  EXPECT_EQ(operador.interactions()[0].caption, "Norvexa Setup.");
  EXPECT_EQ(operador.interactions()[1].caption, "Pregunta");
  EXPECT_EQ(operador.interactions()[3].answer, Answer::kCancel);
  EXPECT_EQ(operador.Messages(), std::vector<std::string>{"Hola\r"});
  EXPECT_EQ(operador.Pending(), 0u);
}

TEST(ScriptedOperatorTest, AnUnexpectedQuestionFailsTheTestAndStopsTheHandler) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedOperator operador;
        EXPECT_THROW(operador.AskYesNo("¿Seguro?", "Pregunta"), UnscriptedInteraction);
      },
      "no scripted answer");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedOperator operador;
        operador.Answers(Answer::kCancel);
        EXPECT_THROW(operador.AskYesNo("¿Seguro?", "Pregunta"), UnscriptedInteraction);
      },
      "Cancel scripted for a box without that button");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedOperator operador;
        operador.Chooses("C:\\");
        EXPECT_THROW(operador.AskYesNoCancel("x", "y"), UnscriptedInteraction);
      },
      "expected a folder browse");
}

TEST(ScriptedOperatorTest, AnswersNeverAskedForFailTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedOperator operador;
        operador.Answers(Answer::kYes);
      },
      "never asked for");
}

}  // namespace
}  // namespace nx
