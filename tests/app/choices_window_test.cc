// The start-up checks and Ctrl+Alt+L through the real window, offscreen.

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include "app/qt/finstall_window.h"
#include "app/qt/look.h"
#include "tests/app/window_fixture.h"

namespace nx::windowtest {
namespace {

QApplication& TheApp() {
  static int argc = 1;
  static char name[] = "choices_window_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* a = new QApplication(argc, argv);
    ApplyLook(*a);
    return a;
  }();
  return *app;
}

// Notes the application's cursor whenever the port probe reads the TCP table.
class CursorAtProbe final : public Network {
 public:
  explicit CursorAtProbe(Network& real) : real_(real) {}
  std::vector<Qt::CursorShape> seen;
  uint32_t GetTcpTable(void* buffer, uint32_t* size, bool sort) override {
    const QCursor* cursor = QApplication::overrideCursor();
    seen.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
    return real_.GetTcpTable(buffer, size, sort);
  }
  bool CanConnect(const std::string& host, uint16_t port, int timeoutMs) override {
    return real_.CanConnect(host, port, timeoutMs);
  }

 private:
  Network& real_;
};

class ChoicesWindowTest : public WindowTest {
 protected:
  ChoicesWindowTest() { TheApp(); }
};

TEST_F(ChoicesWindowTest, ThePortSearchShowsTheHourglassAndCtrlAltLRevealsSupport) {
  CursorAtProbe probe(network_);
  ScopedPlatform watched(Platform{.network = &probe});
  Create();
  FInstallWindow window(form_);
  window.show();
  QCoreApplication::processEvents();
  form_.Activate();
  ASSERT_FALSE(probe.seen.empty());
  for (Qt::CursorShape shape : probe.seen) EXPECT_EQ(Qt::WaitCursor, shape);
  EXPECT_EQ(nullptr, QApplication::overrideCursor());

  QWidget* support = window.WidgetOf(form_.BSoporte);
  QWidget* technicians = window.WidgetOf(form_.CSoporte);
  QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);
  QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
  EXPECT_FALSE(support->isVisible());
  QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_TRUE(support->isVisible());
  EXPECT_TRUE(technicians->isVisible());
}

}  // namespace
}  // namespace nx::windowtest
